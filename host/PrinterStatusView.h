// The chosen printer's state and its supply levels, as coloured level bars.
// The host reads what CUPS reports (marker-* attributes); it never asks the
// printer itself.
#pragma once

#include "PrinterStatus.h"

#include <QFutureWatcher>
#include <QList>
#include <QWidget>

class QFormLayout;
class QGridLayout;
class QLabel;
class QProgressBar;
class QTimer;

namespace printpanels::host {

class PrinterStatusView : public QWidget {
    Q_OBJECT
public:
    explicit PrinterStatusView(QWidget* parent = nullptr);
    ~PrinterStatusView() override; // waits for a query still running

    // Shows `status` at once and asks CUPS for the rest (state message,
    // supplies) off the user-interface thread, again every few seconds.
    void watch(const PrinterStatus& status);
    // No printer: `text` says why.
    void showText(const QString& text);
    // Asks again now.
    void refresh();

    QLabel* stateLabel() const { return state_; }
    // The bars of the supplies whose level is known; unknown levels show as
    // text, never as a bar.
    QList<QProgressBar*> supplyBars() const;
    const PrinterStatus& status() const { return status_; }

signals:
    // A query answered (or failed; then `status` is what was known).
    void updated(const PrinterStatus& status);

private:
    void display(const PrinterStatus& status);
    void showSupplies(const QList<Supply>& supplies);

    PrinterStatus status_;
    QLabel* state_ = nullptr;
    QLabel* suppliesLabel_ = nullptr;
    QWidget* supplies_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QTimer* timer_ = nullptr;
    QFutureWatcher<PrinterStatus> query_;
    QString shownSupplies_; // the rows the grid shows
    bool again_ = false;    // a refresh was asked for while a query ran
};

} // namespace printpanels::host
