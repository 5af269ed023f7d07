// The print dialog: destination and copies, one page per plug-in panel, a
// "Printer Features" page for every PPD option no panel shows, a Summary page,
// and Help / Cancel / Print.
#pragma once

#include "HostSession.h"
#include "PluginSet.h"
#include "PrinterFeaturesPage.h"

#include <QDialog>
#include <QList>
#include <QMap>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace printpanels::host {

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    // Restores every panel's values from the session's settings (which the
    // caller has loaded) and shows the first panel's page.
    PrintDialog(HostSession& session, QList<PluginSet::Panel> panels, QString document, QWidget* parent = nullptr);
    ~PrintDialog() override;

    QTabWidget* pages() const { return pages_; }
    QPushButton* printButton() const { return printButton_; }
    QLabel* messageLabel() const { return message_; }
    QSpinBox* copiesBox() const { return copies_; }
    QComboBox* destinationBox() const { return destination_; }
    QLineEdit* outputFileEdit() const { return outputFile_; }
    // The Printer Features control of a PPD option, or null when a panel shows it.
    QWidget* featureControl(const QString& keyword) const { return features_->control(keyword); }
    int jobId() const { return jobId_; }

    // Print / Cancel: both keep the panels' values; Print commits and sends.
    bool print();
    void reject() override;

private:
    void rebuildSummary();
    void pageChanged(int index);
    void featureChosen(const QString& keyword, const QString& value);
    void showOutcome(const QString& key, const MarkOutcome& outcome);
    void destinationChanged();
    void saveAll();
    void showError(const QString& text);
    void openHelp();
    PDEPanel* panelAt(int tab) const; // the panel shown on a page, or null

    HostSession& session_;
    QList<PluginSet::Panel> panels_;
    QString document_;
    QTabWidget* pages_ = nullptr;
    QComboBox* destination_ = nullptr;
    QLineEdit* outputFile_ = nullptr;
    QPushButton* browse_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QTreeWidget* summary_ = nullptr;
    QList<int> tabPanel_; // page index -> index in panels_, for the panels' pages
    PrinterFeaturesPage* features_ = nullptr;
    int featuresIndex_ = -1;
    int summaryIndex_ = -1;
    int lastIndex_ = -1;
    int jobId_ = 0;
    QStringList pendingMessages_; // of the requests one user action caused
    bool flushQueued_ = false;
};

} // namespace printpanels::host
