// printpanels-host: a print dialog that hosts print-dialog plug-ins.
//
//   printpanels-host --queue QUEUE [FILE]     print FILE to a CUPS queue
//   printpanels-host --ppd PPD [FILE]         try the panels on a PPD file
//   --list-panels                             one line per panel: name TAB kind
//   --screenshot PNG                          render the dialog to PNG and exit
//   --press BUTTON (with --screenshot)        press the button with that text
//                                             first and render the window it
//                                             opens, e.g. "Color Balance..."
//
// Exit status: 0 printed, saved, listed or rendered; 1 the user cancelled;
// 2 bad arguments, a queue or PPD that cannot be opened, or a failed render.
#include "HostSession.h"
#include "PluginSet.h"
#include "PrintDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <cstring>

using namespace printpanels::host;

namespace {

int fail(const QString& text)
{
    QTextStream(stderr) << "printpanels-host: " << text << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // Listing and rendering need no display.
    for (int i = 1; i < argc; ++i)
        if ((!std::strcmp(argv[i], "--list-panels") || !std::strcmp(argv[i], "--screenshot")
             || !std::strncmp(argv[i], "--screenshot=", 13))
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("printpanels-host"));
    QApplication::setOrganizationName(QStringLiteral("printpanels"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print dialog with the printer's plug-in panels."));
    parser.addHelpOption();
    const QCommandLineOption queueOpt(QStringLiteral("queue"), QStringLiteral("CUPS queue to print to."), QStringLiteral("QUEUE"));
    const QCommandLineOption ppdOpt(QStringLiteral("ppd"), QStringLiteral("PPD file to use instead of a queue."), QStringLiteral("FILE"));
    const QCommandLineOption listOpt(QStringLiteral("list-panels"), QStringLiteral("List the panels (name TAB kind) and exit."));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"), QStringLiteral("Render the dialog to PNG and exit."), QStringLiteral("PNG"));
    const QCommandLineOption pressOpt(QStringLiteral("press"),
                                      QStringLiteral("With --screenshot: press the button with this text first and "
                                                     "render the window it opens."),
                                      QStringLiteral("BUTTON"));
    parser.addOptions({queueOpt, ppdOpt, listOpt, shotOpt, pressOpt});
    parser.addPositionalArgument(QStringLiteral("document"), QStringLiteral("Document to print (optional)."), QStringLiteral("[FILE]"));
    parser.process(app);

    if (parser.isSet(queueOpt) && parser.isSet(ppdOpt))
        return fail(QStringLiteral("--queue and --ppd exclude each other"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return fail(QStringLiteral("only one document can be printed at a time"));
    QString document;
    if (!positional.isEmpty()) {
        const QFileInfo info(positional.first());
        if (!info.isFile() || !info.isReadable())
            return fail(QStringLiteral("%1: not a readable file").arg(positional.first()));
        document = info.absoluteFilePath();
    }
    if (!parser.isSet(listOpt) && !parser.isSet(queueOpt) && !parser.isSet(ppdOpt))
        return fail(QStringLiteral("name a queue with --queue or a PPD file with --ppd"));

    HostSession session;
    QString error;
    if (parser.isSet(queueOpt) && !session.openQueue(parser.value(queueOpt), &error))
        return fail(error);
    if (parser.isSet(ppdOpt) && !session.openPpdFile(parser.value(ppdOpt), &error))
        return fail(error);
    if (!session.settings().load())
        QTextStream(stderr) << "printpanels-host: the saved print settings cannot be read" << Qt::endl;
    session.settings().setJobName(document.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(document).fileName());

    PluginSet plugins;
    plugins.load(PluginSet::searchPath());
    for (const QString& warning : plugins.warnings())
        QTextStream(stderr) << "printpanels-host: " << warning << Qt::endl;
    const QList<PluginSet::Panel> panels = plugins.printerPanels(&session);

    if (parser.isSet(listOpt)) {
        QTextStream out(stdout);
        for (const auto& p : panels)
            out << p.panel->panelName() << '\t' << p.panel->panelKind() << '\n';
        return 0;
    }

    PrintDialog dialog(session, panels, document);
    if (parser.isSet(shotOpt)) {
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        dialog.show();
        dialog.adjustSize();
        QApplication::processEvents();
        QPixmap shot;
        if (parser.isSet(pressOpt)) {
            QAbstractButton* button = nullptr;
            for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
                if (b->isVisible() && b->text().remove(QLatin1Char('&')) == parser.value(pressOpt))
                    button = b;
            if (!button || !button->isEnabled())
                return fail(QStringLiteral("no button \"%1\" to press").arg(parser.value(pressOpt)));
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
                return fail(QStringLiteral("\"%1\" opened no window").arg(parser.value(pressOpt)));
        } else {
            shot = dialog.grab();
        }
        if (shot.isNull() || !shot.save(parser.value(shotOpt), "PNG"))
            return fail(QStringLiteral("%1: the picture cannot be written").arg(parser.value(shotOpt)));
        dialog.hide();
        return 0;
    }
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
