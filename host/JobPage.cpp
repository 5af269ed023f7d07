#include "JobPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace printpanels::host {
namespace {

const QString kAtTime = QStringLiteral("local"); // the "at a time" item
const QString kLocalPrefix = QStringLiteral("local:");

QString holdText(const QString& keyword)
{
    if (keyword == QLatin1String("no-hold"))
        return JobPage::tr("Now");
    if (keyword == kAtTime)
        return JobPage::tr("At a time of day");
    if (keyword == QLatin1String("indefinite"))
        return JobPage::tr("On hold (release it later)");
    if (keyword == QLatin1String("day-time"))
        return JobPage::tr("During the day");
    if (keyword == QLatin1String("evening"))
        return JobPage::tr("In the evening");
    if (keyword == QLatin1String("night"))
        return JobPage::tr("At night");
    if (keyword == QLatin1String("second-shift"))
        return JobPage::tr("In the second shift");
    if (keyword == QLatin1String("third-shift"))
        return JobPage::tr("In the third shift");
    if (keyword == QLatin1String("weekend"))
        return JobPage::tr("At the weekend");
    return keyword;
}

void selectData(QComboBox* box, const QString& value)
{
    const int index = box->findData(value);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

QString JobPage::sheetText(const QString& name)
{
    static const std::pair<const char*, const char*> known[] = {
        {"none", QT_TR_NOOP("None")},
        {"standard", QT_TR_NOOP("Standard")},
        {"classified", QT_TR_NOOP("Classified")},
        {"confidential", QT_TR_NOOP("Confidential")},
        {"secret", QT_TR_NOOP("Secret")},
        {"topsecret", QT_TR_NOOP("Top secret")},
        {"unclassified", QT_TR_NOOP("Unclassified")},
        {"form", QT_TR_NOOP("Form")}};
    for (const auto& [keyword, text] : known)
        if (name == QLatin1String(keyword))
            return tr(text);
    return name; // a banner of the site's own, by its file name
}

JobPage::JobPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("jobPage"));
    auto* layout = new QVBoxLayout(this);
    note_ = new QLabel(tr("The job options apply when the document is printed to a queue."));
    note_->setWordWrap(true);
    layout->addWidget(note_);
    form_ = new QFormLayout;
    layout->addLayout(form_);
    layout->addStretch(1);

    auto addRow = [this](const QString& label, QWidget* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
        auto* text = new QLabel(label);
        text->setBuddy(control);
        form_->addRow(text, control);
    };
    priority_ = new QSpinBox;
    priority_->setToolTip(tr("Jobs of higher priority print first"));
    addRow(tr("P&riority:"), priority_, "jobPriority");
    when_ = new QComboBox;
    addRow(tr("Print &document:"), when_, "holdUntil");
    time_ = new QTimeEdit;
    time_->setDisplayFormat(QStringLiteral("HH:mm"));
    time_->setToolTip(tr("In your local time"));
    addRow(tr("At &time:"), time_, "holdTime");
    before_ = new QComboBox;
    addRow(tr("Cover page &before:"), before_, "sheetBefore");
    after_ = new QComboBox;
    addRow(tr("Cover page &after:"), after_, "sheetAfter");
    billing_ = new QLineEdit;
    billing_->setMaxLength(255);
    billing_->setToolTip(tr("An account or project the job is billed to"));
    addRow(tr("Billing i&nformation:"), billing_, "jobBilling");

    connect(priority_, &QSpinBox::valueChanged, this, &JobPage::changed);
    connect(when_, &QComboBox::currentIndexChanged, this, &JobPage::whenChosen);
    connect(time_, &QTimeEdit::timeChanged, this, &JobPage::changed);
    connect(before_, &QComboBox::currentIndexChanged, this, &JobPage::changed);
    connect(after_, &QComboBox::currentIndexChanged, this, &JobPage::changed);
    connect(billing_, &QLineEdit::textChanged, this, &JobPage::changed);
    setCapabilities({});
}

void JobPage::whenChosen()
{
    time_->setEnabled(when_->currentData().toString() == kAtTime);
    emit changed();
}

void JobPage::setCapabilities(const JobCapabilities& caps)
{
    caps_ = caps;
    const QSignalBlocker blocks[] = {QSignalBlocker(priority_), QSignalBlocker(when_), QSignalBlocker(time_),
                                     QSignalBlocker(before_), QSignalBlocker(after_), QSignalBlocker(billing_)};
    note_->setVisible(!caps.known);

    priority_->setRange(1, std::max(1, caps.priorityMax));
    priority_->setValue(caps.priorityDefault);
    form_->setRowVisible(priority_, caps.priorityMax > 1);

    // Now, at a time of day, held, then the server's named periods. A time
    // of day is CUPS's own (it takes one whenever it takes job-hold-until).
    when_->clear();
    if (!caps.holdUntil.isEmpty()) {
        when_->addItem(holdText(QStringLiteral("no-hold")), QStringLiteral("no-hold"));
        when_->addItem(holdText(kAtTime), kAtTime);
        for (const QString& keyword : caps.holdUntil)
            if (keyword != QLatin1String("no-hold"))
                when_->addItem(holdText(keyword), keyword);
        selectData(when_, caps.holdUntilDefault);
    }
    time_->setTime(QTime(QTime::currentTime().hour(), 0).addSecs(3600));
    time_->setEnabled(when_->currentData().toString() == kAtTime);
    form_->setRowVisible(when_, !caps.holdUntil.isEmpty());
    form_->setRowVisible(time_, !caps.holdUntil.isEmpty());

    for (QComboBox* box : {before_, after_}) {
        box->clear();
        for (const QString& name : caps.jobSheets)
            box->addItem(sheetText(name), name);
        form_->setRowVisible(box, !caps.jobSheets.isEmpty());
    }
    selectData(before_, caps.jobSheetsDefault.value(0, QStringLiteral("none")));
    selectData(after_, caps.jobSheetsDefault.value(1, QStringLiteral("none")));

    billing_->clear();
    form_->setRowVisible(billing_, caps.billing);
}

void JobPage::setValues(const JobValues& values)
{
    const QSignalBlocker blocks[] = {QSignalBlocker(priority_), QSignalBlocker(when_), QSignalBlocker(time_),
                                     QSignalBlocker(before_), QSignalBlocker(after_), QSignalBlocker(billing_)};
    bool ok = false;
    if (const int priority = values.value(QStringLiteral("job-priority")).toInt(&ok); ok)
        priority_->setValue(priority); // the spin box keeps it within the server's range
    const QString hold = values.value(QStringLiteral("job-hold-until"));
    static const QRegularExpression utcTime(QStringLiteral("^(\\d\\d):(\\d\\d)(?::(\\d\\d))?$"));
    if (hold.startsWith(kLocalPrefix)) {
        const QTime at = QTime::fromString(hold.mid(kLocalPrefix.size()), QStringLiteral("HH:mm"));
        if (at.isValid()) {
            selectData(when_, kAtTime);
            time_->setTime(at);
        }
    } else if (const QRegularExpressionMatch m = utcTime.match(hold); m.hasMatch()) {
        // A time a queue keeps as its default is in UTC: shown in local time.
        const QDateTime utc(QDate::currentDate(), QTime(m.captured(1).toInt(), m.captured(2).toInt()), Qt::UTC);
        if (utc.isValid()) {
            selectData(when_, kAtTime);
            time_->setTime(utc.toLocalTime().time());
        }
    } else if (!hold.isEmpty()) {
        selectData(when_, hold);
    }
    time_->setEnabled(when_->currentData().toString() == kAtTime);
    if (values.contains(QStringLiteral("job-sheets"))) {
        const QStringList sheets = values.value(QStringLiteral("job-sheets")).split(QLatin1Char(','));
        selectData(before_, sheets.value(0).trimmed());
        selectData(after_, sheets.value(1, QStringLiteral("none")).trimmed());
    }
    if (values.contains(QStringLiteral("job-billing")))
        billing_->setText(values.value(QStringLiteral("job-billing")));
}

JobValues JobPage::values() const
{
    JobValues out;
    if (!caps_.known)
        return out;
    if (caps_.priorityMax > 1)
        out.insert(QStringLiteral("job-priority"), QString::number(priority_->value()));
    if (when_->count() > 0) {
        const QString when = when_->currentData().toString();
        out.insert(QStringLiteral("job-hold-until"),
                   when == kAtTime ? kLocalPrefix + time_->time().toString(QStringLiteral("HH:mm")) : when);
    }
    if (before_->count() > 0)
        out.insert(QStringLiteral("job-sheets"),
                   before_->currentData().toString() + QLatin1Char(',') + after_->currentData().toString());
    if (caps_.billing)
        out.insert(QStringLiteral("job-billing"), billing_->text());
    return out;
}

QList<QPair<QString, QString>> JobPage::describe() const
{
    QList<QPair<QString, QString>> out;
    if (!caps_.known)
        return out;
    if (caps_.priorityMax > 1)
        out.append({tr("Priority:"), QString::number(priority_->value())});
    if (when_->count() > 0)
        out.append({tr("Print:"), when_->currentData().toString() == kAtTime
                                      ? tr("at %1").arg(QLocale().toString(time_->time(), QLocale::ShortFormat))
                                      : when_->currentText()});
    if (before_->count() > 0)
        out.append({tr("Cover pages:"), tr("%1 before, %2 after").arg(before_->currentText(), after_->currentText())});
    if (caps_.billing && !billing_->text().isEmpty())
        out.append({tr("Billing information:"), billing_->text()});
    return out;
}

} // namespace printpanels::host
