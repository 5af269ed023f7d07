// The dialog's "Job" page: how CUPS handles the job rather than how it looks:
// its priority, when it prints (now, at a time of day, held), cover pages
// before and after it, and billing information. Each control is there only
// when the queue takes its option, with the values the server offers.
#pragma once

#include "JobCapabilities.h"

#include <QMap>
#include <QWidget>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTimeEdit;

namespace printpanels::host {

// Job options by their CUPS names. A time of day to print at is kept as
// "local:HH:MM" (job-hold-until); jobOptions() turns it into UTC.
using JobValues = QMap<QString, QString>;

class JobPage : public QWidget {
    Q_OBJECT
public:
    explicit JobPage(QWidget* parent = nullptr);

    // Offers what the queue takes (nothing for a bare PPD) and shows the
    // server's defaults.
    void setCapabilities(const JobCapabilities& caps);
    // Shows the values given (job-priority, job-hold-until, job-sheets,
    // job-billing); others keep the server's defaults.
    void setValues(const JobValues& values);
    // The values of the controls shown.
    JobValues values() const;
    // What a summary says of them: (title, value text).
    QList<QPair<QString, QString>> describe() const;

    QSpinBox* priorityBox() const { return priority_; }
    QComboBox* whenBox() const { return when_; }
    QTimeEdit* timeEdit() const { return time_; }
    QComboBox* beforeBox() const { return before_; }
    QComboBox* afterBox() const { return after_; }
    QLineEdit* billingEdit() const { return billing_; }

    // The text of a cover page's name ("standard" -> "Standard").
    static QString sheetText(const QString& name);

signals:
    void changed();

private:
    void whenChosen();

    JobCapabilities caps_;
    QFormLayout* form_ = nullptr;
    QLabel* note_ = nullptr;
    QSpinBox* priority_ = nullptr;
    QComboBox* when_ = nullptr;
    QTimeEdit* time_ = nullptr;
    QComboBox* before_ = nullptr;
    QComboBox* after_ = nullptr;
    QLineEdit* billing_ = nullptr;
};

} // namespace printpanels::host
