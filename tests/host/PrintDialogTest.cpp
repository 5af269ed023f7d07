// The print dialog with the real printpanels plug-in and the printer's PPD,
// offscreen: pages, the Printer Features page, constraints through the
// panel's controls, settings kept per queue, saving to a file, and that a
// screen reader finds every control by its label.
#include "HostSession.h"
#include "HostTestSupport.h"
#include "PageSetupPage.h"
#include "PluginSet.h"
#include "PrintDialog.h"

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAccessible>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QAbstractSpinBox>
#include <QSpinBox>
#include <QCheckBox>
#include <QFile>
#include <fstream>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QListWidget>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeWidget>

using namespace printpanels::host;

namespace {

// One use of the dialog on the printer's PPD.
struct DialogRun {
    HostSession session;
    PluginSet plugins;
    std::unique_ptr<PrintDialog> dialog;

    explicit DialogRun(const QString& document = {}, const std::string& ppd = PRINTPANELS_TEST_PPD)
    {
        hosttest::app();
        QString error;
        if (!session.openPpdFile(QString::fromStdString(ppd), &error))
            ADD_FAILURE() << error.toStdString();
        session.settings().load();
        plugins.scan(PluginSet::searchPath());
        dialog = std::make_unique<PrintDialog>(session, plugins, document);
        dialog->show();
        QApplication::processEvents();
    }
    ~DialogRun() { dialog.reset(); } // before the plug-ins go
    QWidget* panel() const { return dialog->panelPage(QStringLiteral("Image Options")); }
    QComboBox* popUp(const char* label) const
    {
        return qobject_cast<QComboBox*>(hosttest::controlLabelled(panel(), QString::fromLatin1(label)));
    }
    std::string marked(const char* keyword) { return session.ppd().markedValue(keyword); }
};

// The names of the pages as the list beside them shows them.
QStringList pageNames(PrintDialog& dialog)
{
    QStringList names;
    for (int i = 0; i < dialog.pageList()->count(); ++i)
        names << dialog.pageList()->item(i)->text();
    return names;
}

// At the dialog's default size, every page's name is in view in full: no
// row is cut off or scrolled away, no name elided.
void expectEveryPageNameInView(PrintDialog& dialog)
{
    dialog.resize(dialog.sizeHint());
    QApplication::processEvents();
    QListWidget* list = dialog.pageList();
    const QRect view = list->viewport()->rect();
    for (int i = 0; i < list->count(); ++i) {
        const QRect row = list->visualItemRect(list->item(i));
        EXPECT_TRUE(view.contains(row)) << list->item(i)->text().toStdString();
        EXPECT_GE(row.width(), list->fontMetrics().horizontalAdvance(list->item(i)->text()))
            << list->item(i)->text().toStdString();
    }
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
}

TEST(HostPrintDialog, ShowsGeneralPageSetupAndJobThenThePanelsThenFeaturesNoPanelListsThenSummary)
{
    DialogRun run;
    QTabWidget* pages = run.dialog->pages();
    const QStringList expected{"General", "Page Setup", "Job", "Image Options", "Job Type", "Printer Features", "Summary"};
    ASSERT_EQ(pages->count(), expected.size());
    for (int i = 0; i < pages->count(); ++i)
        EXPECT_EQ(pages->tabText(i), expected[i]);
    EXPECT_EQ(pageNames(*run.dialog), expected);
    expectEveryPageNameInView(*run.dialog);
    // The list chooses the page, and Ctrl+Tab goes on from any control.
    QListWidget* list = run.dialog->pageList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(pages->currentIndex(), 1);
    QTest::keyClick(run.dialog->pageSetup()->orientationBox(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), 2);
    EXPECT_EQ(list->currentRow(), 2);
    // A bare PPD has no queue: the job options have nothing to go to.
    EXPECT_FALSE(run.dialog->jobPage()->priorityBox()->isVisibleTo(run.dialog.get()));
    EXPECT_FALSE(run.dialog->pageSetup()->reverseBox()->isVisibleTo(run.dialog.get()));
    // Paper size and two-sided printing are on Page Setup, not among the
    // Printer Features.
    EXPECT_TRUE(run.dialog->pageSetup()->isAncestorOf(run.dialog->featureControl(QStringLiteral("PageSize"))));

    for (const char* own : {"ColorModel", "DrvResolution", "ImageType", "TonerMode", "GrayGuarantee", "Brightness",
                            "Screen", "ImageAdjustmentMode", "QVColorDensityBlackLow", "QVColorDensityYellowHigh",
                            "PageRegion", "JobType", "UserID", "JobNameMode", "SecurePrintPasscode", "NewJob"})
        EXPECT_EQ(run.dialog->featureControl(QString::fromLatin1(own)), nullptr) << own;
    for (const char* other : {"PageSize", "Duplex"})
        EXPECT_NE(run.dialog->featureControl(QString::fromLatin1(other)), nullptr) << other;
}

TEST(HostPrintDialog, ConstraintsShowInThePanelAndTheMessageNamesThem)
{
    DialogRun run;
    QComboBox* colour = run.popUp("Color Mode:");
    QComboBox* imageType = run.popUp("Image Type:");
    QComboBox* tonerSave = run.popUp("Toner Save:");
    auto* grayGuarantee = run.panel()->findChild<QCheckBox*>(QStringLiteral("GrayGuaranteeButton"));
    ASSERT_TRUE(colour && imageType && tonerSave && grayGuarantee);

    // "Photo" takes toner save "By Image Type", which turns gray guarantee
    // off: accepted in one step, and the message names what moved along.
    ASSERT_TRUE(hosttest::chooseByKeyboard(imageType, QStringLiteral("Photo")));
    EXPECT_EQ(run.marked("ImageType"), "Photo");
    EXPECT_EQ(run.marked("TonerMode"), "3");
    EXPECT_EQ(run.marked("GrayGuarantee"), "False");
    EXPECT_EQ(tonerSave->currentText(), QStringLiteral("By Image Type"));
    EXPECT_FALSE(grayGuarantee->isChecked());
    QApplication::processEvents();
    const QString changed = run.dialog->messageLabel()->text();
    EXPECT_TRUE(changed.contains(QStringLiteral("Toner Save: By Image Type")) && !changed.contains(QStringLiteral("not applied")))
        << changed.toStdString();
    // Turning gray guarantee on again is refused and snaps back.
    grayGuarantee->setFocus();
    QTest::keyClick(grayGuarantee, Qt::Key_Space);
    EXPECT_EQ(run.marked("GrayGuarantee"), "False");
    EXPECT_FALSE(grayGuarantee->isChecked());
    ASSERT_TRUE(hosttest::chooseByKeyboard(imageType, QStringLiteral("Normal")));
    ASSERT_TRUE(hosttest::chooseByKeyboard(tonerSave, QStringLiteral("Off")));

    // Gray: the PPD turns gray guarantee off and the image type to "Off".
    ASSERT_TRUE(hosttest::chooseByKeyboard(colour, QStringLiteral("Grayscale")));
    QApplication::processEvents();
    EXPECT_EQ(run.marked("ColorModel"), "Gray");
    EXPECT_EQ(run.marked("ImageType"), "Off");
    EXPECT_EQ(run.marked("GrayGuarantee"), "False");
    EXPECT_EQ(imageType->currentText(), QStringLiteral("Off"));
    EXPECT_TRUE(run.dialog->messageLabel()->text().contains(QStringLiteral("Image Type: Off")))
        << run.dialog->messageLabel()->text().toStdString();

    // In gray an image type is refused, and the refusal changes nothing: not
    // the toner save the image-type rule would take, not its items.
    EXPECT_FALSE(hosttest::chooseByKeyboard(imageType, QStringLiteral("Text")));
    EXPECT_EQ(imageType->currentText(), QStringLiteral("Off"));
    EXPECT_EQ(run.marked("ImageType"), "Off");
    EXPECT_EQ(run.marked("TonerMode"), "0");
    EXPECT_EQ(tonerSave->currentText(), QStringLiteral("Off"));
    auto* items = qobject_cast<QStandardItemModel*>(tonerSave->model());
    ASSERT_NE(items, nullptr);
    EXPECT_TRUE(items->item(1)->isEnabled());
    QApplication::processEvents();
    const QString refused = run.dialog->messageLabel()->text();
    EXPECT_TRUE(refused.contains(QStringLiteral("Image Type: Text")) && refused.contains(QStringLiteral("not applied")))
        << refused.toStdString();
}

TEST(HostPrintDialog, WithoutAJobTypeTheSecurePrintOptionsAreOrdinaryPrinterFeatures)
{
    // No Job Type page for a printer without a job type: its text options
    // are on the Printer Features page, and nothing else changes.
    lwtest::TempDir dir;
    DialogRun run({}, hosttest::ppdWithout(dir, "JobType"));
    ASSERT_EQ(run.dialog->pages()->count(), 6);
    EXPECT_EQ(run.dialog->pages()->tabText(3), QStringLiteral("Image Options"));
    auto* passcode = qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("SecurePrintPasscode")));
    ASSERT_NE(passcode, nullptr);
    EXPECT_EQ(passcode->echoMode(), QLineEdit::Password);
    auto* duplex = qobject_cast<QComboBox*>(hosttest::controlLabelled(run.dialog.get(), QStringLiteral("Two-sided:")));
    ASSERT_NE(duplex, nullptr);
    const QString longEdge = duplex->itemText(duplex->findData(QStringLiteral("DuplexNoTumble")));
    ASSERT_TRUE(hosttest::chooseByKeyboard(duplex, longEdge));
    EXPECT_EQ(run.marked("Duplex"), "DuplexNoTumble");

    auto* user = qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("UserID")));
    ASSERT_NE(user, nullptr);
    user->setText(QStringLiteral("bob"));
    emit user->editingFinished();
    EXPECT_EQ(run.marked("UserID"), "Custom.bob");
    // A user ID that reads like the PPD's choice is still a user ID.
    user->setText(QStringLiteral("none"));
    emit user->editingFinished();
    EXPECT_EQ(run.marked("UserID"), "Custom.none");
    user->clear();
    emit user->editingFinished();
    EXPECT_EQ(run.marked("UserID"), "None");

    // A passcode takes digits only: refused, named, and the field shows what
    // the PPD holds.
    passcode->setText(QStringLiteral("12ab"));
    emit passcode->editingFinished();
    QApplication::processEvents();
    EXPECT_EQ(run.marked("SecurePrintPasscode"), "None");
    EXPECT_EQ(passcode->text(), QString());
    EXPECT_TRUE(run.dialog->messageLabel()->text().contains(QStringLiteral("Passcode")))
        << run.dialog->messageLabel()->text().toStdString();
}

TEST(HostPrintDialog, ValuesComeBackTheNextTimeAndSavingToAFileCopiesTheDocument)
{
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("doc.txt", "hello\n"));
    {
        DialogRun run(document);
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Color Mode:"), QStringLiteral("Grayscale")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Screen:"), run.popUp("Screen:")->itemText(2)));
        // --ppd has no queue: the only destination is a file.
        EXPECT_EQ(run.session.destinationType(), kPMDestinationFile);
        EXPECT_FALSE(run.dialog->printButton()->isEnabled());
        run.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("out.txt")));
        EXPECT_TRUE(run.dialog->printButton()->isEnabled());
        ASSERT_TRUE(run.dialog->print()) << run.dialog->messageLabel()->text().toStdString();
        QFile out(QString::fromStdString(dir.file("out.txt")));
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        EXPECT_EQ(out.readAll(), QByteArray("hello\n"));
    }
    DialogRun again;
    EXPECT_EQ(again.popUp("Color Mode:")->currentText(), QStringLiteral("Grayscale"));
    EXPECT_EQ(again.popUp("Screen:")->currentIndex(), 2);
    EXPECT_EQ(again.marked("ColorModel"), "Gray");
    // Gray output's image type "Off" came from the colour mode, not from the
    // user: toner saving stays free.
    EXPECT_TRUE(hosttest::chooseByKeyboard(again.popUp("Toner Save:"), QStringLiteral("Light Saving")));
    EXPECT_EQ(again.marked("TonerMode"), "1");

    // Saving a document over itself is refused, and the document survives.
    DialogRun self(document);
    self.dialog->outputFileEdit()->setText(document);
    EXPECT_FALSE(self.dialog->print());
    QFile kept(document);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("hello\n"));
}

TEST(HostPrintDialog, CancelLeavesTheStoredSettingsAsTheyWereEvenAfterAFailedPrintAndAPhotoImageTypeComesBack)
{
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("doc.txt", "hello\n"));
    {
        DialogRun run(document);
        // Photo only goes with toner save "By Image Type", which gray
        // guarantee (on by default) does not allow.
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Toner Save:"), QStringLiteral("By Image Type")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Image Type:"), QStringLiteral("Photo")));
        EXPECT_EQ(run.marked("ImageType"), "Photo");
        run.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("out.txt")));
        ASSERT_TRUE(run.dialog->print()) << run.dialog->messageLabel()->text().toStdString();
    }
    {
        // A failed save stores nothing, and neither does Cancel after it.
        DialogRun run(document);
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Image Type:"), QStringLiteral("Normal")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Color Mode:"), QStringLiteral("Grayscale")));
        run.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("missing/out.txt")));
        EXPECT_FALSE(run.dialog->print());
        QTest::keyClick(run.dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(run.dialog->isVisible());
    }
    DialogRun again;
    EXPECT_EQ(again.popUp("Image Type:")->currentText(), QStringLiteral("Photo"));
    EXPECT_EQ(again.popUp("Toner Save:")->currentText(), QStringLiteral("By Image Type"));
    EXPECT_EQ(again.popUp("Color Mode:")->currentText(), QStringLiteral("Color"));
    EXPECT_EQ(again.marked("ImageType"), "Photo");
    EXPECT_EQ(again.marked("TonerMode"), "3");
}

TEST(HostPrintDialog, EveryControlHasALabelOrNameAndTakesKeyboardFocus)
{
    DialogRun run;
    EXPECT_FALSE(run.dialog->windowTitle().isEmpty());
    QSet<QWidget*> buddies;
    for (QLabel* label : run.dialog->findChildren<QLabel*>())
        if (label->buddy())
            buddies.insert(label->buddy());
    int controls = 0;
    for (QWidget* w : run.dialog->findChildren<QWidget*>()) {
        const bool input = qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)
                           || (qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parentWidget())
                               && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                           || qobject_cast<QAbstractSlider*>(w) || qobject_cast<QAbstractButton*>(w);
        if (!input || w->inherits("QScrollBar") || w->inherits("QTabBar") || w->inherits("QToolButton"))
            continue;
        ++controls;
        const bool named = buddies.contains(w) || !w->accessibleName().isEmpty()
                           || !w->accessibleDescription().isEmpty()
                           || (qobject_cast<QAbstractButton*>(w) && !qobject_cast<QAbstractButton*>(w)->text().isEmpty());
        EXPECT_TRUE(named) << w->metaObject()->className() << " " << w->objectName().toStdString();
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
    }
    EXPECT_GT(controls, 20);
}

// The letter after '&' in a text, lower case; 0 when there is none.
QChar mnemonic(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

TEST(HostPrintDialog, TheDialogsOwnControlsAreReachedByTheirMnemonicsAndInOrderByTab)
{
    lwtest::TempDir dir;
    DialogRun run(QString::fromStdString(dir.write("doc.txt", "hello\n")));
    PrintDialog* dialog = run.dialog.get();
    QTabWidget* pages = dialog->pages();
    // On every page, with what is around the pages: no letter twice.
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        QMap<QChar, QString> taken;
        for (QWidget* w : dialog->findChildren<QWidget*>()) {
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
                text = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
                text = button->text();
            const QChar letter = mnemonic(text);
            if (letter.isNull() || !w->isVisible())
                continue;
            EXPECT_FALSE(taken.contains(letter)) << pages->tabText(page).toStdString() << ": " << text.toStdString()
                                                 << " and " << taken.value(letter).toStdString();
            taken.insert(letter, text);
        }
    }
    // Each control the dialog adds has a label with its own letter, and the
    // letter takes the keyboard there.
    const struct {
        int page;
        const char* label;
    } owned[] = {{0, "Printer:"}, {0, "Output file:"}, {0, "Pages:"}, {1, "Two-sided:"},
                 {1, "Paper size:"}, {1, "Orientation:"}, {1, "Pages per sheet:"}};
    for (const auto& [page, text] : owned) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        QLabel* label = nullptr;
        for (QLabel* l : pages->widget(page)->findChildren<QLabel*>())
            if (l->text().remove(QLatin1Char('&')) == QLatin1String(text))
                label = l;
        ASSERT_TRUE(label && label->buddy()) << text;
        const QChar letter = mnemonic(label->text());
        ASSERT_FALSE(letter.isNull()) << text;
        QTest::keyClick(dialog, Qt::Key(Qt::Key_A + (letter.unicode() - u'a')), Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), label->buddy()) << text;
    }
    // The panel's captions come from the PPD's texts: each gets a letter of
    // its own, which takes the keyboard to its control.
    QWidget* panel = run.panel();
    pages->setCurrentWidget(panel);
    QApplication::processEvents();
    int captions = 0;
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        if (!label->buddy() || !label->isVisible())
            continue;
        ++captions;
        const QChar letter = mnemonic(label->text());
        ASSERT_FALSE(letter.isNull()) << label->text().toStdString();
        if (!letter.isLetter())
            continue;
        QTest::keyClick(dialog, Qt::Key(Qt::Key_A + (letter.unicode() - u'a')), Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), label->buddy()) << label->text().toStdString();
    }
    EXPECT_GE(captions, 6);

    // The General page from the top: printer, file, Browse, pages.
    pages->setCurrentIndex(0);
    dialog->printerList()->setFocus();
    QWidget* browse = nullptr;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == QStringLiteral("Browse..."))
            browse = b;
    for (QWidget* next : {static_cast<QWidget*>(dialog->outputFileEdit()), browse, static_cast<QWidget*>(dialog->pageRangesEdit())}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST(HostPrintDialog, ScreenReadersHearTheMessageAndTheValuesThemselves)
{
    DialogRun run;
    auto name = [](QWidget* w) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Color Mode:"), QStringLiteral("Grayscale")));
    QApplication::processEvents();
    QLabel* message = run.dialog->messageLabel();
    EXPECT_FALSE(message->text().isEmpty());
    EXPECT_EQ(name(message), message->text());
    // A label announces a new text (as a name change) only while it has no
    // fixed accessible name.
    EXPECT_TRUE(message->accessibleName().isEmpty());
    for (const char* value : {"printerState", "documentName"}) {
        auto* label = run.dialog->findChild<QLabel*>(QString::fromLatin1(value));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(name(label), label->text()) << value;
    }
}

TEST(HostPrintDialog, APrinterHasThePanelsOfThePlugInsItsPpdNamesAndIsToldOfOnesThatAreMissing)
{
    // A PPD that names a plug-in that is not installed: the dialog's own
    // pages, the options on Printer Features, and the message says which
    // plug-in is missing.
    lwtest::TempDir dir;
    const std::string elsewhere = hosttest::ppdWithout(dir, "PrintDialogPanels");
    std::ofstream(elsewhere, std::ios::app) << "*PrintDialogPanels: \"otherpanels\"\n";
    DialogRun run({}, elsewhere);
    EXPECT_EQ(pageNames(*run.dialog),
              (QStringList{"General", "Page Setup", "Job", "Printer Features", "Summary"}));
    EXPECT_NE(run.dialog->featureControl(QStringLiteral("ColorModel")), nullptr);
    EXPECT_NE(run.dialog->featureControl(QStringLiteral("JobType")), nullptr);
    const QString message = run.dialog->messageLabel()->text();
    EXPECT_TRUE(message.contains(QStringLiteral("\"otherpanels\"")) && message.contains(QStringLiteral("not installed")))
        << message.toStdString();
}

TEST(HostPrintDialog, AGermanUserGetsTheDialogInGerman)
{
    hosttest::app();
    // The host's and the plug-in's tables from the build, in place of the
    // installed ones; Qt's own for the standard buttons.
    qputenv("PRINTPANELS_TRANSLATIONS_DIR", PRINTPANELS_TEST_TRANSLATIONS_DIR);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTranslator host, qt;
    ASSERT_TRUE(host.load(QLocale(), QStringLiteral("printpanels-host"), QStringLiteral("_"),
                          QStringLiteral(PRINTPANELS_TEST_TRANSLATIONS_DIR)));
    QCoreApplication::installTranslator(&host);
    if (qt.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    {
        DialogRun run;
        QStringList tabs;
        for (int i = 0; i < run.dialog->pages()->count(); ++i)
            tabs << run.dialog->pages()->tabText(i).remove(QLatin1Char('&'));
        EXPECT_EQ(tabs, (QStringList{"Allgemein", "Seite einrichten", "Auftrag", "Bildoptionen", "Auftragsart",
                                     "Druckerfunktionen", "Zusammenfassung"}));
        EXPECT_EQ(pageNames(*run.dialog), tabs);
        expectEveryPageNameInView(*run.dialog);
        auto* button = run.dialog->findChild<QPushButton*>(QStringLiteral("colorBalanceButton"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("&Farbbalance..."));
    }
    QCoreApplication::removeTranslator(&host);
    QCoreApplication::removeTranslator(&qt);
    QLocale::setDefault(QLocale::c());
    qunsetenv("PRINTPANELS_TRANSLATIONS_DIR");

    // The command line's texts as well.
    const lwtest::ProcessResult r = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", PRINTPANELS_TEST_PPD, "--queue", "q", "--list-panels"},
        {{"LANG", "de_DE.UTF-8"}, {"LC_ALL", ""}, {"PRINTPANELS_TRANSLATIONS_DIR", PRINTPANELS_TEST_TRANSLATIONS_DIR},
         {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--queue und --ppd schließen einander aus"), std::string::npos) << r.err;
}

TEST(HostCommandLine, ListPanelsPrintsNameTabKind)
{
    hosttest::app();
    const lwtest::ProcessResult r = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", PRINTPANELS_TEST_PPD, "--list-panels"},
        {{"PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR}, {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "Image Options\tcom.PrinterPDE\nJob Type\tcom.PrinterPDE\n");
    lwtest::TempDir dir;
    const lwtest::ProcessResult noJobType = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", hosttest::ppdWithout(dir, "JobType"), "--list-panels"},
        {{"PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR}, {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(noJobType.out, "Image Options\tcom.PrinterPDE\n") << noJobType.err;

    // Only the plug-ins the PPD names: none for a PPD that names none; one
    // it names that is not there is named, where it was looked for, and a
    // failure.
    const lwtest::ProcessResult unnamed = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", hosttest::ppdWithout(dir, "PrintDialogPanels"), "--list-panels"},
        {{"PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR}, {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(unnamed.exitStatus, 0) << unnamed.err;
    EXPECT_EQ(unnamed.out, "");
    lwtest::TempDir empty;
    const lwtest::ProcessResult none = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", PRINTPANELS_TEST_PPD, "--list-panels"},
        {{"PRINTPANELS_PLUGIN_PATH", empty.path()}, {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(none.exitStatus, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("the PPD names the plug-in \"printpanels\", which was not found in " + empty.path()),
              std::string::npos)
        << none.err;

    const lwtest::ProcessResult bad = lwtest::runProcess(
        {PRINTPANELS_HOST_BIN, "--ppd", "/nonexistent.ppd", "--list-panels"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(bad.exitStatus, 2);
    EXPECT_NE(bad.err.find("nonexistent.ppd"), std::string::npos) << bad.err;
}

} // namespace
