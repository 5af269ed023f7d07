// The "Printer Features" page: one control per PPD option that no other page
// of the dialog shows, grouped as the PPD groups them. A choice goes to the
// session (which applies the PPD's constraints); refresh() shows what the PPD
// holds afterwards.
#pragma once

#include "PpdDocument.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QWidget>

namespace printpanels::host {

class PrinterFeaturesPage : public QWidget {
    Q_OBJECT
public:
    // `shownElsewhere`: keywords that panels or other pages show.
    PrinterFeaturesPage(const PpdDocument& ppd, const QSet<QString>& shownElsewhere, QWidget* parent = nullptr);

    // The control of an option, or null when the page does not show it.
    QWidget* control(const QString& keyword) const { return controls_.value(keyword); }
    QStringList keywords() const { return controls_.keys(); }
    bool isEmpty() const { return controls_.isEmpty(); }
    // Shows the marked choice of every option.
    void refresh();

signals:
    // The user chose a choice keyword, or typed a custom text ("Custom.TEXT";
    // the default choice's keyword when the text was cleared).
    void chosen(const QString& keyword, const QString& value);

private:
    const PpdDocument& ppd_;
    QMap<QString, QWidget*> controls_;
};

} // namespace printpanels::host
