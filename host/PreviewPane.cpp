#include "PreviewPane.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace printpanels::host {
namespace {
constexpr int kLongSide = 320; // pixels of the sheet's longer side
}

PreviewPane::PreviewPane(QString document, QWidget* parent) : QWidget(parent), document_(std::move(document))
{
    setObjectName(QStringLiteral("preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    picture_ = new QLabel;
    picture_->setObjectName(QStringLiteral("previewPicture"));
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFrameShape(QFrame::StyledPanel);
    // Room for a sheet either way round: the pages beside keep their place
    // when the orientation changes.
    picture_->setFixedSize(kLongSide + 2 * picture_->frameWidth() + 8, kLongSide + 2 * picture_->frameWidth() + 8);
    picture_->setAccessibleName(tr("Preview"));
    layout->addWidget(picture_, 1);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("previewStatus"));
    status_->setWordWrap(true);
    status_->setMaximumWidth(picture_->width());
    status_->setAccessibleDescription(tr("Preview state"));
    layout->addWidget(status_);

    auto* form = new QFormLayout;
    sheet_ = new QSpinBox;
    sheet_->setObjectName(QStringLiteral("previewSheet"));
    sheet_->setRange(1, 1);
    sheet_->setEnabled(false);
    sheet_->setKeyboardTracking(false);
    auto* sheetLabel = new QLabel(tr("Previe&w sheet:"));
    sheetLabel->setBuddy(sheet_);
    form->addRow(sheetLabel, sheet_);
    layout->addLayout(form);

    connect(sheet_, &QSpinBox::valueChanged, this, [this] { schedule(); });
    connect(&work_, &QFutureWatcher<Work>::finished, this, &PreviewPane::finished);

    if (document_.isEmpty())
        status_->setText(tr("No document to preview."));
    else if (isPdf(document_))
        pdf_ = document_;
}

PreviewPane::~PreviewPane()
{
    cancelled_->store(true);
    work_.waitForFinished();
}

void PreviewPane::setJobLayout(const Layout& layout)
{
    if (haveLayout_ && layout == layout_)
        return;
    layout_ = layout;
    haveLayout_ = true;
    schedule();
}

void PreviewPane::schedule()
{
    if (document_.isEmpty() || !haveLayout_)
        return;
    pending_ = true;
    // One render at a time; the latest request follows the one running.
    if (!rendering_)
        QTimer::singleShot(0, this, &PreviewPane::start);
}

void PreviewPane::start()
{
    if (!pending_ || rendering_)
        return;
    pending_ = false;
    if (pdf_.isEmpty() && !convertError_.isEmpty())
        return;
    if (pdf_.isEmpty())
        status_->setText(tr("Preparing the preview of %1...").arg(QFileInfo(document_).fileName()));
    PreviewRequest request;
    request.pdf = pdf_;
    request.pageRanges = layout_.pageRanges;
    request.numberUp = layout_.numberUp;
    request.orientation = layout_.orientation;
    request.gray = layout_.gray;
    request.paper = layout_.paper;
    request.sheet = sheet_->value() - 1;
    request.longSide = kLongSide;
    const QString convertTo = pdf_.isEmpty() ? scratch_.filePath(QStringLiteral("document.pdf")) : QString();
    rendering_ = true;
    work_.setFuture(QtConcurrent::run([request, convertTo, document = document_, cancelled = cancelled_]() mutable {
        Work work;
        if (!convertTo.isEmpty()) {
            if (!convertToPdf(document, convertTo, &work.convertError, cancelled.get()))
                return work;
            work.converted = true;
            request.pdf = convertTo;
        }
        work.result = renderPreview(request);
        return work;
    }));
}

void PreviewPane::finished()
{
    rendering_ = false;
    const Work work = work_.result();
    if (work.converted)
        pdf_ = scratch_.filePath(QStringLiteral("document.pdf"));
    if (!work.convertError.isEmpty()) {
        convertError_ = work.convertError;
        status_->setText(convertError_);
        picture_->clear();
        image_ = QImage();
        emit rendered();
        return;
    }
    const PreviewResult& r = work.result;
    sheets_ = r.sheets;
    pages_ = r.pages;
    image_ = r.image;
    {
        QSignalBlocker block(sheet_);
        sheet_->setRange(1, std::max(1, r.sheets));
        sheet_->setEnabled(r.sheets > 1);
        sheet_->setSuffix(tr(" of %1").arg(std::max(1, r.sheets)));
    }
    if (r.image.isNull()) {
        picture_->clear();
        status_->setText(r.error);
    } else {
        picture_->setPixmap(QPixmap::fromImage(r.image));
        const QString pages = r.pages == 1 ? tr("1 page") : tr("%1 pages").arg(r.pages);
        const QString sheets = r.sheets == 1 ? tr("1 sheet") : tr("%1 sheets").arg(r.sheets);
        status_->setText(tr("%1 on %2.").arg(pages, sheets));
    }
    // The picture's description names what it shows, for screen readers.
    picture_->setAccessibleDescription(status_->text());
    emit rendered();
    if (pending_)
        start();
}

} // namespace printpanels::host
