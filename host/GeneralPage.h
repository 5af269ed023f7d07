// The dialog's "General" page: which printer (every CUPS destination, the
// default first, with its state, or a file), the chosen printer's state and
// supplies, which pages and how many copies.
#pragma once

#include "PrinterStatus.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace printpanels::host {

class PrinterStatusView;

class GeneralPage : public QWidget {
    Q_OBJECT
public:
    explicit GeneralPage(QWidget* parent = nullptr);

    // Lists the printers and, when `withFile`, "Save to File" after them;
    // `current` is chosen (no signal).
    void setPrinters(const QList<PrinterStatus>& printers, const QString& current, bool withFile);
    // Chooses a row again without a signal: a printer by name, or the file.
    void choose(const QString& printer, bool file = false);
    // Shows what CUPS now says of a printer in its row.
    void updatePrinter(const PrinterStatus& status);
    const PrinterStatus* printer(const QString& name) const;
    bool fileChosen() const;

    QTreeWidget* printerList() const { return list_; }
    PrinterStatusView* statusView() const { return status_; }
    QLineEdit* outputFile() const { return outputFile_; }
    QPushButton* browseButton() const { return browse_; }
    QLineEdit* pageRanges() const { return pages_; }
    QSpinBox* copies() const { return copies_; }
    QCheckBox* collate() const { return collate_; }

signals:
    void printerChosen(const QString& name);
    void saveToFileChosen();
    // Pages, copies, collation or the output file changed.
    void changed();

private:
    void rowChosen(QTreeWidgetItem* item);
    void fillRow(QTreeWidgetItem* item, const PrinterStatus& status);

    QList<PrinterStatus> printers_;
    QTreeWidget* list_ = nullptr;
    PrinterStatusView* status_ = nullptr;
    QLineEdit* outputFile_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLineEdit* pages_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QCheckBox* collate_ = nullptr;
};

} // namespace printpanels::host
