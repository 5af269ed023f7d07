// The Secure Print setup dialog: a user ID, a numeric passcode (shown
// masked) and, optionally, a job name that replaces the document's name.
//
// The Job Type panel makes a new controller for every opening, loads the
// "JobTypeSetup" form with it as owner, runs Start() (modal) and deletes the
// window afterwards. A valid OK leaves the entries in the plug-in-wide state
// (response, docName, jobnameMode) and answers true; Cancel changes nothing.
// The passcode stays in memory: it is never logged or stored.
#pragma once

#include "CustomTextFieldFormatter.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <memory>

class PDEBundle;

class JobTypeSetup : public QObject {
    Q_OBJECT
    Q_PROPERTY(QDialog* window MEMBER window)
    Q_PROPERTY(QComboBox* pJobNameButton MEMBER pJobNameButton)
    Q_PROPERTY(QPushButton* okButton MEMBER okButton)
    Q_PROPERTY(QPushButton* closeButton MEMBER closeButton)
    Q_PROPERTY(QPushButton* defaultButton MEMBER defaultButton)
    Q_PROPERTY(QPushButton* helpButton MEMBER helpButton)
    Q_PROPERTY(QLineEdit* TextUserIDBox MEMBER TextUserIDBox)
    Q_PROPERTY(QLineEdit* TextPasscodeBox MEMBER TextPasscodeBox)
    Q_PROPERTY(QLineEdit* TextJobNameBox MEMBER TextJobNameBox)
    Q_PROPERTY(QLabel* TextJobName MEMBER TextJobName)
    Q_PROPERTY(QLabel* sTextUserID MEMBER sTextUserID)
    Q_PROPERTY(QLabel* sTextPass MEMBER sTextPass)
    Q_PROPERTY(QLabel* sTextJobName MEMBER sTextJobName)
    Q_PROPERTY(QLabel* sTextNewJobName MEMBER sTextNewJobName)

public:
    JobTypeSetup(); // initWithWindow: with no window; the form brings it
    ~JobTypeSetup() override;

    // Formatters of the three fields, key equivalents.
    Q_INVOKABLE void awakeFromNib();
    // Fills the fields from the last valid OK and runs the dialog modally;
    // answers whether it ended with a valid OK. The document name is not
    // shown: the dialog shows docName instead.
    bool Start(const std::shared_ptr<PDEBundle>& bundle, const QString& documentName);

    Q_INVOKABLE void JobNameBtnClick(QObject* sender);
    Q_INVOKABLE void defaultBtnClick(QObject* sender);
    Q_INVOKABLE void okBtnClick(QObject* sender);
    Q_INVOKABLE void closeBtnClick(QObject* sender);
    Q_INVOKABLE void HelpBtnClick(QObject*) {}

    bool isOK = false;
    QWidget* JobTypeSetupView = nullptr; // the window's content, remembered at opening

    QDialog* window = nullptr;
    QComboBox* pJobNameButton = nullptr;
    QPushButton *okButton = nullptr, *closeButton = nullptr, *defaultButton = nullptr, *helpButton = nullptr;
    QLineEdit *TextUserIDBox = nullptr, *TextPasscodeBox = nullptr, *TextJobNameBox = nullptr;
    QLabel* TextJobName = nullptr;
    QLabel *sTextUserID = nullptr, *sTextPass = nullptr, *sTextJobName = nullptr, *sTextNewJobName = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setJobNameEnabled(bool enabled);
    // The standard alert over the dialog, with one button.
    void alert(const char* message, const char* information);
    void clearOutlets();

    std::shared_ptr<PDEBundle> bundle_;
    std::shared_ptr<CustomTextFieldFormatterPrinter> UserIDBoxFmt, PasscodeBoxFmt, JobNameboxFmt;
};
