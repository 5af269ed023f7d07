// Renders the sheets of a print job as they will come out: the chosen pages,
// several to a sheet, in the chosen orientation, in gray for gray output.
// Pure functions of their inputs, safe on any thread.
#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <atomic>
#include <optional>

namespace printpanels::host {

// Page ranges as CUPS takes them ("1-3, 5, 8-"), resolved against a page
// count: the pages to print, ascending and each once (as CUPS prints them),
// within 1..pageCount. Empty text is every page. nullopt when the text is not a list of ranges (a range
// must not run backwards, pages start at 1); ranges beyond the document
// simply select nothing there.
std::optional<QList<int>> parsePageRanges(const QString& text, int pageCount);
// The same text in the form CUPS's page-ranges option takes, ascending and
// merged ("1-3,5,8-2147483647"), or empty when it selects every page or is
// not valid.
QString cupsPageRanges(const QString& text);

struct PreviewRequest {
    QString pdf;            // the document, as PDF
    QString pageRanges;     // as the user typed them
    int numberUp = 1;       // pages per sheet: 1, 2, 4, 6, 9 or 16
    int orientation = 3;    // IPP orientation-requested: 3 portrait, 4 landscape, 5 reverse landscape, 6 reverse portrait
    bool gray = false;
    QSizeF paper;           // the paper in points, portrait; empty: the first page's size
    int sheet = 0;          // which sheet to render, from 0
    int longSide = 360;     // pixels of the picture's longer side
};

struct PreviewResult {
    QImage image;      // the sheet; null when there is none
    int sheets = 0;    // sheets the job takes
    int pages = 0;     // pages the job prints
    QString error;     // why there is no picture
};

PreviewResult renderPreview(const PreviewRequest& request);

// Converts a document that is not PDF with CUPS's cupsfilter (the machine's
// CUPS filters, no scheduler), writing the PDF to `target`. False with
// `error` set when no filter chain converts it. Polls `cancelled` and stops
// the converter when it turns true.
bool convertToPdf(const QString& document, const QString& target, QString* error,
                  const std::atomic_bool* cancelled = nullptr);

// Whether the file holds a PDF (by its first bytes).
bool isPdf(const QString& file);

} // namespace printpanels::host
