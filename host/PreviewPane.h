// The preview beside the dialog's pages: the document's sheets as they will
// print, rendered off the user-interface thread, one sheet at a time.
// Documents other than PDF are converted once with cupsfilter; when that is
// not possible the pane says so and printing is not affected.
#pragma once

#include "PreviewRenderer.h"

#include <QFutureWatcher>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <memory>

class QLabel;
class QSpinBox;

namespace printpanels::host {

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QString document, QWidget* parent = nullptr);
    ~PreviewPane() override; // stops a conversion and waits for a render still running

    struct Layout {
        QString pageRanges;
        int numberUp = 1;
        int orientation = 3;
        bool gray = false;
        QSizeF paper; // points, portrait
        bool operator==(const Layout&) const = default;
    };
    // Renders anew when the layout differs from the one shown.
    void setJobLayout(const Layout& layout);

    QSpinBox* sheetBox() const { return sheet_; }
    QLabel* picture() const { return picture_; }
    QLabel* statusLabel() const { return status_; }
    const QImage& image() const { return image_; }
    int sheetCount() const { return sheets_; }
    int pageCount() const { return pages_; }
    // A render runs, waits, or has ended but its result is not shown yet.
    bool busy() const { return rendering_ || pending_; }

signals:
    // A render (or its failure) has been shown.
    void rendered();

private:
    struct Work {
        PreviewResult result;
        QString convertError;
        bool converted = false;
    };
    void schedule();
    void start();
    void finished();

    QString document_;
    QString pdf_;           // the document as PDF, once known
    QString convertError_;  // why there is no PDF
    QTemporaryDir scratch_;
    Layout layout_;
    bool haveLayout_ = false;
    bool pending_ = false;
    bool rendering_ = false; // from start() until finished() has shown the result
    int sheets_ = 0;
    int pages_ = 0;
    QImage image_;
    QLabel* picture_ = nullptr;
    QLabel* status_ = nullptr;
    QSpinBox* sheet_ = nullptr;
    QFutureWatcher<Work> work_;
    std::shared_ptr<std::atomic_bool> cancelled_ = std::make_shared<std::atomic_bool>(false);
};

} // namespace printpanels::host
