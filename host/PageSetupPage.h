// The dialog's "Page Setup" page: two-sided printing and paper size (the
// PPD's own options, marked through the session like any other), the
// orientation and the pages per sheet (CUPS job options).
#pragma once

#include "PpdDocument.h"

#include <QSet>
#include <QWidget>

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
};

} // namespace printpanels::host
