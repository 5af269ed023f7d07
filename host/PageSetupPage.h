// The dialog's "Page Setup" page: two-sided printing and paper size (the
// PPD's own options, marked through the session like any other), the
// orientation, the pages per sheet and their order on the sheet, the scaling
// to the paper, odd or even pages only, and reverse order (CUPS job
// options; each only where the queue takes it).
#pragma once

#include "JobCapabilities.h"
#include "JobPage.h"
#include "PpdDocument.h"

#include <QSet>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;

namespace printpanels::host {

class PageSetupPage : public QWidget {
    Q_OBJECT
public:
    // The PPD options this page shows when no panel does.
    static QStringList ppdKeywords();

    explicit PageSetupPage(QWidget* parent = nullptr);

    // Builds the PPD options' choices anew; those a panel shows (or the PPD
    // lacks) are left out.
    void setPpd(const PpdDocument& ppd, const QSet<QString>& shownByPanels);
    // Shows the marked choices.
    void refresh();
    // The control of a PPD option this page shows, or null.
    QComboBox* control(const QString& keyword) const;
    QStringList shownKeywords() const;

    // IPP orientation-requested: 3 portrait, 4 landscape, 5 reverse
    // landscape, 6 reverse portrait.
    int orientation() const;
    void setOrientation(int value);
    int numberUp() const;
    void setNumberUp(int value);
    QComboBox* orientationBox() const { return orientation_; }
    QComboBox* numberUpBox() const { return numberUp_; }
    QComboBox* layoutBox() const { return layout_; }
    QComboBox* scalingBox() const { return scaling_; }
    QCheckBox* fitBox() const { return fit_; }
    QComboBox* pageSetBox() const { return pageSet_; }
    QCheckBox* reverseBox() const { return reverse_; }

    // The CUPS job options besides orientation and pages per sheet: shown
    // only where the queue takes them (none for a bare PPD).
    void setCapabilities(const JobCapabilities& caps);
    // Shows the values given (orientation-requested, number-up,
    // number-up-layout, print-scaling, fit-to-page, page-set, outputorder);
    // the others stay as CUPS has them by itself.
    void setJobValues(const JobValues& values);
    // The values of the controls shown.
    JobValues jobValues() const;
    // What a summary says of the job options shown: (title, value text).
    QList<QPair<QString, QString>> describeJobOptions() const;

signals:
    void ppdChosen(const QString& keyword, const QString& choice);
    // Orientation or pages per sheet changed.
    void changed();

private:
    const PpdDocument* ppd_ = nullptr;
    QFormLayout* form_ = nullptr;
    QComboBox* duplex_ = nullptr;
    QComboBox* paper_ = nullptr;
    QComboBox* orientation_ = nullptr;
    QComboBox* numberUp_ = nullptr;
    QComboBox* layout_ = nullptr;
    QComboBox* scaling_ = nullptr;
    QCheckBox* fit_ = nullptr;
    QComboBox* pageSet_ = nullptr;
    QCheckBox* reverse_ = nullptr;
    JobCapabilities caps_;
};

} // namespace printpanels::host
