#include "PreviewRenderer.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <poppler-qt6.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace printpanels::host {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("PreviewRenderer", text); }

struct Range {
    int first = 1;
    int last = INT_MAX;
};

std::optional<QList<Range>> parseRanges(const QString& text)
{
    QList<Range> ranges;
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d{1,9})\\s*(?:(-)\\s*(\\d{1,9})?)?\\s*$"));
    if (text.trimmed().isEmpty())
        return ranges;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return std::nullopt;
        Range r;
        r.first = m.captured(1).toInt();
        r.last = m.captured(2).isEmpty() ? r.first : m.captured(3).isEmpty() ? INT_MAX : m.captured(3).toInt();
        if (r.first < 1 || r.last < r.first)
            return std::nullopt;
        ranges << r;
    }
    // CUPS prints pages in their order, each once: ranges ascending, merged.
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
    QList<Range> merged;
    for (const Range& r : ranges) {
        if (!merged.isEmpty() && (merged.last().last == INT_MAX || r.first <= merged.last().last + 1))
            merged.last().last = std::max(merged.last().last, r.last);
        else
            merged << r;
    }
    return merged;
}

// Columns and rows of an n-up sheet: the grid in which the pages come out
// largest.
QSize grid(int n, QSizeF sheet, QSizeF page)
{
    QSize best(1, n);
    double bestScale = 0;
    for (int cols = 1; cols <= n; ++cols) {
        if (n % cols)
            continue;
        const int rows = n / cols;
        const double scale = std::min(sheet.width() / cols / page.width(), sheet.height() / rows / page.height());
        if (scale > bestScale + 1e-9) {
            bestScale = scale;
            best = QSize(cols, rows);
        }
    }
    return best;
}

} // namespace

std::optional<QList<int>> parsePageRanges(const QString& text, int pageCount)
{
    const auto ranges = parseRanges(text);
    if (!ranges)
        return std::nullopt;
    QList<int> pages;
    if (ranges->isEmpty()) {
        for (int p = 1; p <= pageCount; ++p)
            pages << p;
        return pages;
    }
    for (const Range& r : *ranges)
        for (int p = r.first; p <= std::min(r.last, pageCount); ++p)
            pages << p;
    return pages;
}

QString cupsPageRanges(const QString& text)
{
    const auto ranges = parseRanges(text);
    if (!ranges || ranges->isEmpty())
        return {};
    QStringList parts;
    for (const Range& r : *ranges)
        parts << (r.first == r.last ? QString::number(r.first) : QStringLiteral("%1-%2").arg(r.first).arg(r.last));
    return parts.join(QLatin1Char(','));
}

bool isPdf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-";
}

PreviewResult renderPreview(const PreviewRequest& request)
{
    PreviewResult out;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(request.pdf);
    if (!document || document->isLocked()) {
        out.error = document ? tr("The document is protected by a password.") : tr("The document cannot be read as PDF.");
        return out;
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const auto pages = parsePageRanges(request.pageRanges, document->numPages());
    if (!pages) {
        out.error = tr("The page ranges are not valid.");
        return out;
    }
    const int perSheet = std::max(1, request.numberUp);
    out.pages = int(pages->size());
    out.sheets = (out.pages + perSheet - 1) / perSheet;
    if (out.pages == 0) {
        out.error = tr("The chosen pages are not in the document.");
        return out;
    }
    const int sheet = std::clamp(request.sheet, 0, out.sheets - 1);

    QSizeF paper = request.paper;
    if (paper.isEmpty())
        if (std::unique_ptr<Poppler::Page> first = document->page(pages->first() - 1))
            paper = first->pageSizeF();
    if (paper.isEmpty())
        paper = QSizeF(595, 842);
    if (paper.width() > paper.height())
        paper.transpose();
    // Landscape turns the sheet; so do two and six pages to a sheet, which
    // CUPS lays out across the long side.
    const bool landscape = request.orientation == 4 || request.orientation == 5;
    const bool across = perSheet == 2 || perSheet == 6;
    if (landscape != across)
        paper.transpose();

    const double scale = request.longSide / std::max(paper.width(), paper.height()); // pixels per point
    QImage image(QSize(int(std::lround(paper.width() * scale)), int(std::lround(paper.height() * scale))),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    std::unique_ptr<Poppler::Page> firstPage = document->page(pages->first() - 1);
    const QSizeF firstSize = firstPage ? firstPage->pageSizeF() : paper;
    const QSize cells = grid(perSheet, image.size(), firstSize.isEmpty() ? paper : firstSize);
    const QSizeF cell(double(image.width()) / cells.width(), double(image.height()) / cells.height());
    for (int i = 0; i < perSheet; ++i) {
        const int index = sheet * perSheet + i;
        if (index >= out.pages)
            break;
        std::unique_ptr<Poppler::Page> page = document->page((*pages)[index] - 1);
        if (!page)
            continue;
        const QSizeF size = page->pageSizeF();
        if (size.isEmpty())
            continue;
        const double fit = std::min(cell.width() / size.width(), cell.height() / size.height()); // pixels per point
        const QImage rendered = page->renderToImage(72.0 * fit, 72.0 * fit);
        const QRectF box(QPointF((i % cells.width()) * cell.width(), (i / cells.width()) * cell.height()), cell);
        QRectF target(QPointF(), QSizeF(rendered.size()));
        target.moveCenter(box.center());
        painter.drawImage(target, rendered);
        if (perSheet > 1) {
            painter.setPen(QColor(200, 200, 200));
            painter.drawRect(target.adjusted(0, 0, -1, -1));
        }
    }
    painter.end();
    // Reverse orientations come out upside down.
    if (request.orientation == 5 || request.orientation == 6)
        image = image.transformed(QTransform().rotate(180));
    if (request.gray)
        image = image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    out.image = image;
    return out;
}

bool convertToPdf(const QString& document, const QString& target, QString* error, const std::atomic_bool* cancelled)
{
    QProcess filter;
    filter.setProgram(QStringLiteral("cupsfilter"));
    filter.setArguments({QStringLiteral("-m"), QStringLiteral("application/pdf"), document});
    filter.setStandardOutputFile(target);
    filter.setStandardInputFile(QProcess::nullDevice());
    filter.setStandardErrorFile(QProcess::nullDevice());
    filter.start();
    if (!filter.waitForStarted(10000)) {
        if (error)
            *error = tr("The preview needs CUPS's cupsfilter, which cannot be started.");
        return false;
    }
    for (int waited = 0; !filter.waitForFinished(100); waited += 100) {
        if ((cancelled && cancelled->load()) || waited > 120000) {
            filter.kill();
            filter.waitForFinished(5000);
            if (error)
                *error = tr("The document could not be converted for the preview in time.");
            return false;
        }
    }
    if (filter.exitStatus() != QProcess::NormalExit || filter.exitCode() != 0 || !isPdf(target)) {
        if (error)
            *error = tr("No preview: none of the installed CUPS filters converts this document to PDF. "
                        "Printing is not affected.");
        return false;
    }
    return true;
}

} // namespace printpanels::host
