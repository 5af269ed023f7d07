// The print dialog: a "General" page (printer, its state and supplies,
// pages, copies), a "Page Setup" page, a "Job" page, one page per panel of
// the plug-ins the printer's PPD names, a "Printer Features" page for every
// PPD option no other page shows, a Summary page, the list of the pages and
// the preview beside them, and Help / Cancel / Print.
#pragma once

#include "HostSession.h"
#include "JobSubmitter.h"
#include "PluginSet.h"

#include <QDialog>
#include <QList>
#include <QMap>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace printpanels::host {

class GeneralPage;
class JobPage;
class PageSetupPage;
class PreviewPane;
class PrinterFeaturesPage;
class PrinterStatusView;

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    // Asks the plug-ins for the panels of the session's printer and restores
    // their values and the Printer Features from the session's settings.
    // With a queue, the printer list holds every CUPS destination.
    PrintDialog(HostSession& session, PluginSet& plugins, QString document, QWidget* parent = nullptr);
    ~PrintDialog() override;

    QTabWidget* pages() const { return pages_; }
    // The list of the pages beside them, by which the user chooses one.
    QListWidget* pageList() const { return pageList_; }
    // The page of the panel with that name, or null.
    QWidget* panelPage(const QString& name) const;
    QPushButton* printButton() const { return printButton_; }
    QLabel* messageLabel() const { return message_; }
    QTreeWidget* printerList() const;
    PrinterStatusView* printerStatus() const;
    QLineEdit* outputFileEdit() const;
    QLineEdit* pageRangesEdit() const;
    QSpinBox* copiesBox() const;
    QCheckBox* collateBox() const;
    PageSetupPage* pageSetup() const { return pageSetup_; }
    JobPage* jobPage() const { return jobPage_; }
    PreviewPane* preview() const { return preview_; }
    QProgressBar* progressBar() const { return progress_; }
    // The dialog's own control of a PPD option (Page Setup or Printer
    // Features), or null when a panel shows it.
    QWidget* featureControl(const QString& keyword) const;

    // Shows a message under the pages (start-up problems, for instance).
    void showMessage(const QString& text);

    // Print: commits the panels' values and sends the job without blocking
    // (or saves the document to a file); false when it cannot start. The
    // settings are stored once the job is accepted; the dialog then closes.
    bool print();
    // For a document the application renders after the dialog: Print then
    // runs the panels' checks, keeps the values and closes the dialog, and
    // the job is sent later with jobRequest(). `title` names the document
    // and the window; the preview shows `previewText`.
    void setPreparing(const QString& title, const QString& previewText);
    bool preparing() const { return preparing_; }
    // The job the dialog's choices make of `file`, as print() sends it: the
    // PPD choices the job must name and the layout options.
    JobRequest jobRequest(const QString& file) const;
    // Marks a PPD choice as the user's choice of it on a page would.
    void chooseFeature(const QString& keyword, const QString& choice) { featureChosen(keyword, choice); }
    // Cancel (and closing the window): the stored settings stay as they were
    // when the dialog opened. A job being sent is withdrawn first.
    void reject() override;

    bool isSending() const { return sender_.busy(); }
    int jobId() const { return jobId_; }
    // "QUEUE-ID" of the job sent, as lp names it; empty when none was.
    QString jobReference() const;

signals:
    // The printer's panels and pages were built anew (after a printer change).
    void printerLoaded();

private:
    void buildPrinterPages();
    void dropPrinterPages();
    void printerChosen(const QString& name);
    void restoreFeatures();
    void keepValues(); // panels and features into the session's settings (memory)
    void storeSettings(); // ... and to disk
    void refreshPpdControls();
    void rebuildSummary();
    void syncPageList();
    void pageChanged(int index);
    void featureChosen(const QString& keyword, const QString& value);
    void showOutcome(const QString& key, const MarkOutcome& outcome);
    void destinationChanged();
    void updatePreview();
    void sendingFinished(int jobId, const QString& error, bool cancelled);
    void setSending(bool sending);
    void showError(const QString& text);
    void openHelp();
    bool grayOutput() const;
    QSet<QString> panelKeywords() const;
    std::vector<std::pair<std::string, std::string>> layoutOptions() const;
    PDEPanel* panelAt(int tab) const; // the panel shown on a page, or null
    int panelIndexAt(int tab) const;

    HostSession& session_;
    PluginSet& plugins_;
    QList<PluginSet::Panel> panels_;
    QStringList missingPlugins_; // what the message line says of plug-ins the PPD names and that are missing
    QMap<QWidget*, int> viewPanel_; // a panel's page -> its index in panels_
    QString document_;
    QTabWidget* pages_ = nullptr;
    QListWidget* pageList_ = nullptr;
    GeneralPage* general_ = nullptr;
    PageSetupPage* pageSetup_ = nullptr;
    JobPage* jobPage_ = nullptr;
    QScrollArea* featuresScroll_ = nullptr;
    PrinterFeaturesPage* features_ = nullptr;
    QTreeWidget* summary_ = nullptr;
    PreviewPane* preview_ = nullptr;
    QLabel* message_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    JobSender sender_;
    QString sendingTo_;
    int lastIndex_ = -1;
    int jobId_ = 0;
    QString printedQueue_;
    bool preparing_ = false;
    QString documentTitle_;
    bool restoring_ = false;       // panels and features are being restored: no messages
    bool closeAfterCancel_ = false;
    QStringList pendingMessages_;  // of the requests one user action caused
    bool flushQueued_ = false;
};

} // namespace printpanels::host
