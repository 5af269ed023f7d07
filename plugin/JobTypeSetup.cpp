#include "JobTypeSetup.h"

#include "PDEBundle.h"
#include "PDELogging.h"
#include "PDETool.h"
#include "PluginState.h"

#include <QEvent>
#include <QMessageBox>

JobTypeSetup::JobTypeSetup()
{
    _PDELog(nullptr, "initWithWindow()");
    _PDELog(nullptr, "end initWithWindow()");
}

JobTypeSetup::~JobTypeSetup()
{
    if (window)
        window->removeEventFilter(this);
}

void JobTypeSetup::clearOutlets()
{
    window = nullptr;
    JobTypeSetupView = nullptr;
    pJobNameButton = nullptr;
    okButton = closeButton = defaultButton = helpButton = nullptr;
    TextUserIDBox = TextPasscodeBox = TextJobNameBox = nullptr;
    TextJobName = nullptr;
    sTextUserID = sTextPass = sTextJobName = sTextNewJobName = nullptr;
}

void JobTypeSetup::awakeFromNib()
{
    _PDELog(nullptr, "awakeFromNib()");
    if (!window)
        return;
    connect(window, &QObject::destroyed, this, [this] { clearOutlets(); });
    window->installEventFilter(this);
    MakeReturnPress(okButton, {closeButton, defaultButton, helpButton});

    UserIDBoxFmt = std::make_shared<CustomTextFieldFormatterPrinter>();
    UserIDBoxFmt->setMaximumLength(8);
    UserIDBoxFmt->setNameAlpha(true);
    PasscodeBoxFmt = std::make_shared<CustomTextFieldFormatterPrinter>();
    PasscodeBoxFmt->setMaximumLength(12);
    PasscodeBoxFmt->setNumberOnly(true);
    JobNameboxFmt = std::make_shared<CustomTextFieldFormatterPrinter>();
    JobNameboxFmt->setMaximumLength(12);
    JobNameboxFmt->setNameAlpha(true);
    UserIDBoxFmt->attachTo(TextUserIDBox);
    PasscodeBoxFmt->attachTo(TextPasscodeBox);
    JobNameboxFmt->attachTo(TextJobNameBox);
    if (TextPasscodeBox)
        TextPasscodeBox->setEchoMode(QLineEdit::Password);
    if (QWidget* parent = window->parentWidget())
        window->move(parent->window()->geometry().center() - window->rect().center());
}

bool JobTypeSetup::Start(const std::shared_ptr<PDEBundle>& bundle, const QString& /*documentName*/)
{
    _PDELog(nullptr, "enter PDE Start()");
    bundle_ = bundle;
    auto tr = [&bundle](const char* key) {
        const QString text = QString::fromLatin1(key);
        return bundle ? bundle->localizedString(text) : text;
    };
    if (window) {
        // No title-bar buttons: the dialog ends with OK or Cancel.
        window->setWindowFlags((window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
                               & ~(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
        window->setWindowTitle(tr("Secure Print"));
    }
    if (closeButton)
        closeButton->setText(tr("Cancel"));
    if (okButton)
        okButton->setText(tr("OK"));
    if (defaultButton)
        defaultButton->setText(tr("Default"));
    if (pJobNameButton) {
        pJobNameButton->clear();
        pJobNameButton->addItem(tr("Use Existing Name"));
        pJobNameButton->addItem(tr("Enter Name Mode"));
        pJobNameButton->setCurrentIndex(0);
    }
    const std::pair<QLabel*, const char*> captions[] = {{sTextUserID, "User ID"},
                                                        {sTextPass, "Secure Print Passcode"},
                                                        {sTextJobName, "Job Name"},
                                                        {sTextNewJobName, "New Job Name"}};
    for (const auto& [label, key] : captions)
        if (label)
            label->setText(tr(key));
    JobTypeSetupView = window;

    if (response) {
        if (TextUserIDBox && response->size() > 1)
            TextUserIDBox->setText(response->at(1).toString());
        if (TextPasscodeBox && response->size() > 2)
            TextPasscodeBox->setText(response->at(2).toString());
    }
    if (pJobNameButton)
        pJobNameButton->setCurrentIndex(jobnameMode);
    setJobNameEnabled(jobnameMode != 0);
    if (docName && TextJobNameBox)
        TextJobNameBox->setText(*docName);

    if (window)
        window->exec();
    return isOK;
}

void JobTypeSetup::setJobNameEnabled(bool enabled)
{
    if (TextJobNameBox)
        TextJobNameBox->setEnabled(enabled);
    if (TextJobName)
        TextJobName->setEnabled(enabled);
}

void JobTypeSetup::JobNameBtnClick(QObject*)
{
    // Whatever is being edited is committed first.
    if (window && window->focusWidget())
        window->focusWidget()->clearFocus();
    setJobNameEnabled(pJobNameButton && pJobNameButton->currentIndex() != 0);
    if (pJobNameButton)
        pJobNameButton->setFocus();
}

void JobTypeSetup::defaultBtnClick(QObject*)
{
    if (pJobNameButton)
        pJobNameButton->setCurrentIndex(1);
    setJobNameEnabled(true);
    for (QLineEdit* field : {TextUserIDBox, TextPasscodeBox, TextJobNameBox})
        if (field)
            field->setText(QString());
}

void JobTypeSetup::alert(const char* message, const char* information)
{
    auto tr = [this](const char* key) {
        const QString text = QString::fromLatin1(key);
        return bundle_ ? bundle_->localizedString(text) : text;
    };
    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(tr("Secure Print"));
    box.setText(tr(message));
    box.setInformativeText(tr(information));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void JobTypeSetup::okBtnClick(QObject*)
{
    const QString user = TextUserIDBox ? TextUserIDBox->text() : QString();
    const QString passcode = TextPasscodeBox ? TextPasscodeBox->text() : QString();
    const bool userBad = user.isEmpty() || QString(user).remove(QLatin1Char(' ')).isEmpty()
        || std::any_of(user.begin(), user.end(), [](QChar c) { return c.unicode() > 126; });
    if (userBad) {
        alert("Invalid value in User ID.", "Specify within a range of 1 to 8 alphanumeric characters.");
        return;
    }
    // The printer's panel takes the digits 0 to 9 only: digits of other
    // scripts, which typing lets through, are refused here too.
    const bool passcodeBad = passcode.isEmpty() || passcode.size() > 12
        || std::any_of(passcode.begin(), passcode.end(), [](QChar c) { return c < u'0' || c > u'9'; });
    if (passcodeBad) {
        alert("Invalid value in Secure Print Passcode.", "Specify within a range of 1 to 12 alphanumeric characters.");
        return;
    }
    if (!response)
        response.emplace();
    else
        response->clear();
    docName.reset();
    jobnameMode = pJobNameButton ? pJobNameButton->currentIndex() : 0;
    response->append(jobnameMode);
    docName = TextJobNameBox ? TextJobNameBox->text() : QString();
    response->append(user);
    response->append(passcode);
    if (jobnameMode != 0)
        response->append(TextJobNameBox ? TextJobNameBox->text() : QString());
    response->append(pJobNameButton ? pJobNameButton->currentText() : QString());
    isOK = true;
    if (window && window->isVisible())
        window->done(QDialog::Accepted);
}

void JobTypeSetup::closeBtnClick(QObject*)
{
    isOK = false;
    if (window && window->isVisible())
        window->done(QDialog::Rejected);
}

bool JobTypeSetup::eventFilter(QObject* watched, QEvent* event)
{
    // Without title-bar buttons, the window manager's close and Escape are
    // Cancel.
    if (IsCancelEvent(window, watched, event)) {
        event->ignore();
        closeBtnClick(nullptr);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
