// printpanels-host: a print dialog that hosts print-dialog plug-ins.
//
//   printpanels-host [FILE]                   print FILE; the dialog starts on
//                                             the default CUPS destination
//   printpanels-host --queue QUEUE [FILE]     ... on that queue
//   printpanels-host --ppd PPD [FILE]         try the panels on a PPD file
//   --list-panels                             one line per panel of the plug-ins
//                                             the PPD names: name TAB kind
//   --screenshot PNG                          render the dialog to PNG and exit
//   --page NAME (with --screenshot)           show the page with that name
//   --press BUTTON (with --screenshot)        press the button with that text
//                                             first and render the window it
//                                             opens, e.g. "Color Balance..."
//
// A job sent is named on standard output as QUEUE-ID, as lp names it.
// Exit status: 0 printed, saved, listed or rendered; 1 the user cancelled;
// 2 bad arguments, a queue, document or PPD that cannot be opened, a
// plug-in the PPD names that is not installed (--list-panels), or a failed
// render. With a display, start-up errors are
// shown in a window as well as on standard error.
#include "HostSession.h"
#include "PluginSet.h"
#include "PreviewPane.h"
#include "PrintDialog.h"
#include "PrinterStatus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <cstring>

using namespace printpanels::host;

namespace {

bool g_interactive = false; // a user sees windows

// The texts of the command line and of start-up errors.
struct CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

// The translations of the user's language: ours (from PRINTPANELS_TRANSLATIONS_DIR
// when set, else from where they are installed, else from beside this program
// when the installation was put elsewhere) and Qt's own, for the standard
// buttons.
void installTranslations(QApplication& app)
{
    QStringList ours{qEnvironmentVariable("PRINTPANELS_TRANSLATIONS_DIR", QStringLiteral(PRINTPANELS_TRANSLATIONS_DIR)),
                     QCoreApplication::applicationDirPath() + QStringLiteral("/../share/printpanels/translations")};
    const std::pair<QString, QStringList> catalogues[] = {
        {QStringLiteral("qtbase"), {QLibraryInfo::path(QLibraryInfo::TranslationsPath)}},
        {QStringLiteral("printpanels-host"), ours}};
    for (const auto& [name, dirs] : catalogues) {
        auto* translator = new QTranslator(&app);
        for (const QString& dir : dirs)
            if (translator->load(QLocale(), name, QStringLiteral("_"), dir)) {
                QCoreApplication::installTranslator(translator);
                translator = nullptr;
                break;
            }
        delete translator;
    }
}

int fail(const QString& text)
{
    QTextStream(stderr) << "printpanels-host: " << text << Qt::endl;
    if (g_interactive)
        QMessageBox::critical(nullptr, CommandLine::tr("Print"), text);
    return 2;
}

// Lets the dialog's background work (preview, printer state) finish, for a
// picture of what a user would see.
void settle(PrintDialog& dialog)
{
    QElapsedTimer clock;
    clock.start();
    QApplication::processEvents();
    while (dialog.preview()->busy() && clock.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    // Listing and rendering need no display.
    bool batch = false;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--list-panels") || !std::strcmp(argv[i], "--screenshot")
            || !std::strncmp(argv[i], "--screenshot=", 13))
            batch = true;
    // Without a display the arguments are still checked and errors reported
    // on standard error; the dialog itself needs one.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    bool headless = false;
    if ((batch || noDisplay) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        headless = !batch;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("printpanels-host"));
    QApplication::setOrganizationName(QStringLiteral("printpanels"));
    installTranslations(app);
    const QString platform = QGuiApplication::platformName();
    g_interactive = !batch && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");

    QCommandLineParser parser;
    parser.setApplicationDescription(CommandLine::tr("Print dialog with the printer's plug-in panels."));
    parser.addHelpOption();
    const QCommandLineOption queueOpt(QStringLiteral("queue"),
                                      CommandLine::tr("CUPS queue to start on (default: the default destination)."),
                                      QStringLiteral("QUEUE"));
    const QCommandLineOption ppdOpt(QStringLiteral("ppd"), CommandLine::tr("PPD file to use instead of a queue."), QStringLiteral("FILE"));
    const QCommandLineOption listOpt(QStringLiteral("list-panels"), CommandLine::tr("List the panels (name TAB kind) and exit."));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"), CommandLine::tr("Render the dialog to PNG and exit."), QStringLiteral("PNG"));
    const QCommandLineOption pageOpt(QStringLiteral("page"),
                                     CommandLine::tr("With --screenshot: show the page with this name."),
                                     QStringLiteral("NAME"));
    const QCommandLineOption pressOpt(QStringLiteral("press"),
                                      CommandLine::tr("With --screenshot: press the button with this text first and "
                                         "render the window it opens."),
                                      QStringLiteral("BUTTON"));
    parser.addOptions({queueOpt, ppdOpt, listOpt, shotOpt, pageOpt, pressOpt});
    parser.addPositionalArgument(QStringLiteral("document"), CommandLine::tr("Document to print (optional)."), QStringLiteral("[FILE]"));
    parser.process(app);

    if (parser.isSet(queueOpt) && parser.isSet(ppdOpt))
        return fail(CommandLine::tr("--queue and --ppd exclude each other"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return fail(CommandLine::tr("only one document can be printed at a time"));
    QString document;
    if (!positional.isEmpty()) {
        const QFileInfo info(positional.first());
        if (!info.isFile() || !info.isReadable())
            return fail(CommandLine::tr("%1: not a readable file").arg(positional.first()));
        document = info.absoluteFilePath();
    }

    HostSession session;
    QString error;
    if (parser.isSet(queueOpt)) {
        if (!session.openQueue(parser.value(queueOpt), &error))
            return fail(error);
    } else if (parser.isSet(ppdOpt)) {
        if (!session.openPpdFile(parser.value(ppdOpt), &error))
            return fail(error);
    } else {
        // The default destination, else the first one CUPS lists.
        const QList<PrinterStatus> printers = listPrinters(&error);
        if (printers.isEmpty())
            return fail(error.isEmpty() ? CommandLine::tr("no printer is set up in CUPS; name a PPD file with --ppd") : error);
        if (!session.openQueue(printers.first().name, &error))
            return fail(error);
    }
    if (!session.settingsReadable())
        QTextStream(stderr) << "printpanels-host: " << CommandLine::tr("the saved print settings cannot be read") << Qt::endl;
    session.setJobName(document.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(document).fileName());

    PluginSet plugins;
    plugins.scan(PluginSet::searchPath());

    if (parser.isSet(listOpt)) {
        // The panels of the plug-ins the PPD names: none for a PPD that
        // names none; a plug-in it names that is not installed is a failure.
        QStringList missing;
        const QList<PluginSet::Panel> panels =
            plugins.panelsFor(PluginSet::namedIn(session.ppd().ppd()), &session, &missing);
        for (const QString& problem : plugins.warnings())
            QTextStream(stderr) << "printpanels-host: " << problem << Qt::endl;
        for (const QString& name : missing)
            QTextStream(stderr) << "printpanels-host: "
                                << CommandLine::tr("the PPD names the plug-in \"%1\", which was not found in %2")
                                       .arg(name, plugins.searched().join(QStringLiteral(", ")))
                                << Qt::endl;
        QTextStream out(stdout);
        for (const auto& p : panels)
            out << p.panel->panelName() << '\t' << p.panel->panelKind() << '\n';
        return missing.isEmpty() ? 0 : 2;
    }

    if (headless)
        return fail(CommandLine::tr("there is no display to show the dialog on (DISPLAY is not set)"));
    PrintDialog dialog(session, plugins, document);
    // Plug-in files that could not be used: on standard error (the dialog
    // names a plug-in the printer needs and does not have).
    for (const QString& problem : plugins.warnings())
        QTextStream(stderr) << "printpanels-host: " << problem << Qt::endl;
    if (parser.isSet(shotOpt)) {
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        dialog.show();
        if (parser.isSet(pageOpt)) {
            int index = -1;
            for (int i = 0; i < dialog.pages()->count(); ++i)
                if (dialog.pages()->tabText(i).remove(QLatin1Char('&')) == parser.value(pageOpt))
                    index = i;
            if (index < 0)
                return fail(CommandLine::tr("no page \"%1\" to show").arg(parser.value(pageOpt)));
            dialog.pages()->setCurrentIndex(index);
        }
        dialog.adjustSize();
        settle(dialog);
        QPixmap shot;
        if (parser.isSet(pressOpt)) {
            // The button on the page shown, else on the page that has it.
            QAbstractButton* button = nullptr;
            for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
                if (b->text().remove(QLatin1Char('&')) == parser.value(pressOpt) && (!button || b->isVisible()))
                    button = b;
            for (int i = 0; button && !button->isVisible() && i < dialog.pages()->count(); ++i)
                if (dialog.pages()->widget(i)->isAncestorOf(button)) {
                    dialog.pages()->setCurrentIndex(i);
                    settle(dialog);
                }
            if (!button || !button->isEnabled())
                return fail(CommandLine::tr("no button \"%1\" to press").arg(parser.value(pressOpt)));
            // The window the button opens runs its own modal loop: render it
            // from inside that loop, then close it.
            QTimer poll;
            int tries = 0;
            QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
                QWidget* opened = QApplication::activeModalWidget();
                if (opened && opened != &dialog) {
                    poll.stop();
                    opened->adjustSize();
                    QApplication::processEvents();
                    shot = opened->grab();
                    opened->close();
                } else if (++tries > 100) {
                    poll.stop();
                }
            });
            poll.start(20);
            button->click();
            poll.stop();
            if (shot.isNull())
                return fail(CommandLine::tr("\"%1\" opened no window").arg(parser.value(pressOpt)));
        } else {
            shot = dialog.grab();
        }
        if (shot.isNull() || !shot.save(parser.value(shotOpt), "PNG"))
            return fail(CommandLine::tr("%1: the picture cannot be written").arg(parser.value(shotOpt)));
        dialog.hide();
        return 0;
    }
    if (dialog.exec() != QDialog::Accepted)
        return 1;
    if (!dialog.jobReference().isEmpty())
        QTextStream(stdout) << dialog.jobReference() << Qt::endl;
    return 0;
}
