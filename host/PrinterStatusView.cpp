#include "PrinterStatusView.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace printpanels::host {

PrinterStatusView::PrinterStatusView(QWidget* parent) : QWidget(parent)
{
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    state_ = new QLabel;
    state_->setObjectName(QStringLiteral("printerState"));
    state_->setWordWrap(true);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The label's text is what a screen reader reads (and announces when it
    // changes); this only says what kind of text it is.
    state_->setAccessibleDescription(tr("Printer state"));
    auto* stateLabel = new QLabel(tr("State:"));
    stateLabel->setBuddy(state_);
    form->addRow(stateLabel, state_);

    supplies_ = new QWidget;
    supplies_->setObjectName(QStringLiteral("supplies"));
    grid_ = new QGridLayout(supplies_);
    grid_->setContentsMargins(0, 0, 0, 0);
    suppliesLabel_ = new QLabel(tr("Supplies:"));
    suppliesLabel_->setBuddy(supplies_);
    form->addRow(suppliesLabel_, supplies_);
    form->setRowVisible(supplies_, false);

    timer_ = new QTimer(this);
    timer_->setInterval(5000);
    connect(timer_, &QTimer::timeout, this, &PrinterStatusView::refresh);
    connect(&query_, &QFutureWatcher<PrinterStatus>::finished, this, [this] {
        const PrinterStatus answer = query_.result();
        if (answer.name == status_.name) {
            display(answer);
            emit updated(answer);
        }
        if (again_) {
            again_ = false;
            refresh();
        }
    });
}

PrinterStatusView::~PrinterStatusView()
{
    query_.waitForFinished();
}

void PrinterStatusView::watch(const PrinterStatus& status)
{
    display(status);
    timer_->start();
    refresh();
}

void PrinterStatusView::showText(const QString& text)
{
    timer_->stop();
    status_ = PrinterStatus();
    state_->setText(text);
    showSupplies({});
}

void PrinterStatusView::refresh()
{
    if (status_.name.isEmpty())
        return;
    if (query_.isRunning()) {
        again_ = true;
        return;
    }
    query_.setFuture(QtConcurrent::run([known = status_, server = CupsServer()] {
        PrinterStatus status = known;
        queryPrinter(status, nullptr, server); // what is not answered stays as known
        return status;
    }));
}

void PrinterStatusView::display(const PrinterStatus& status)
{
    status_ = status;
    QString text = status.summary();
    if (!status.message.isEmpty())
        text += QStringLiteral(" \u2014 ") + status.message;
    state_->setText(text);
    showSupplies(status.supplies);
}

void PrinterStatusView::showSupplies(const QList<Supply>& supplies)
{
    // A row shows a bar while its level is known and a text otherwise.
    QStringList rows;
    for (const Supply& s : supplies)
        rows << (s.known() ? QStringLiteral("bar:") : QStringLiteral("text:")) + s.name;
    const QString key = rows.join(QLatin1Char('\n'));
    if (key != shownSupplies_) {
        // Another set of supplies: build the rows anew.
        while (QLayoutItem* item = grid_->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        for (int row = 0; row < supplies.size(); ++row) {
            auto* name = new QLabel(supplies[row].name + QLatin1Char(':'));
            grid_->addWidget(name, row, 0);
            QWidget* value = nullptr;
            if (supplies[row].known()) {
                auto* bar = new QProgressBar;
                bar->setRange(0, 100);
                bar->setAccessibleName(supplies[row].name);
                value = bar;
            } else {
                auto* level = new QLabel;
                level->setAccessibleDescription(supplies[row].name);
                value = level;
            }
            value->setObjectName(QStringLiteral("supply-%1").arg(row));
            name->setBuddy(value);
            grid_->addWidget(value, row, 1);
        }
        grid_->setColumnStretch(1, 1);
        shownSupplies_ = key;
    }
    for (int row = 0; row < supplies.size(); ++row) {
        const Supply& s = supplies[row];
        QWidget* value = grid_->itemAtPosition(row, 1)->widget();
        if (auto* bar = qobject_cast<QProgressBar*>(value)) {
            bar->setValue(s.level);
            const bool low = s.low >= 0 && s.level <= s.low;
            bar->setFormat(low ? tr("%p% (low)") : tr("%p%"));
            if (s.color.isValid()) {
                QPalette palette = bar->palette();
                palette.setColor(QPalette::Highlight, s.color);
                // Text over the bar stays readable on dark and light toners.
                palette.setColor(QPalette::HighlightedText, s.color.lightness() < 128 ? Qt::white : Qt::black);
                bar->setPalette(palette);
            }
        } else if (auto* level = qobject_cast<QLabel*>(value)) {
            level->setText(s.levelText());
        }
    }
    if (auto* form = qobject_cast<QFormLayout*>(layout()))
        form->setRowVisible(supplies_, !supplies.isEmpty());
}

QList<QProgressBar*> PrinterStatusView::supplyBars() const
{
    return supplies_->findChildren<QProgressBar*>();
}

} // namespace printpanels::host
