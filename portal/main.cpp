// printpanels-portal: the print portal backend that shows our print dialog,
// with the printer's plug-in panels, to every application that prints
// through xdg-desktop-portal. Started by D-Bus activation on the session bus.
//
// Exit status: 0 on a normal end; 2 when the session bus cannot be reached
// or the bus name cannot be taken (another backend of ours runs).
#include "PrintPortal.h"

#include <PrintDialog.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QTimer>
#include <QDBusConnection>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

using namespace printpanels::portal;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("printpanels-portal"));
    QApplication::setOrganizationName(QStringLiteral("printpanels"));
    // The dialogs stay when the last one closes: the service waits for the
    // next request.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print portal backend with the printer's plug-in panels."));
    parser.addHelpOption();
    parser.process(app);

    // Ours and Qt's string tables for the user's language.
    const QString ours = qEnvironmentVariable("PRINTPANELS_TRANSLATIONS_DIR", QStringLiteral(PRINTPANELS_TRANSLATIONS_DIR));
    const std::pair<QString, QString> catalogues[] = {
        {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
        {QStringLiteral("printpanels-host"), ours}};
    for (const auto& [name, dir] : catalogues) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QLocale(), name, QStringLiteral("_"), dir))
            QCoreApplication::installTranslator(translator);
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "printpanels-portal: the session bus cannot be reached: %s\n",
                     bus.lastError().message().toUtf8().constData());
        return 2;
    }
    PrintPortal portal(bus);
    QString error;
    if (!portal.publish(&error)) {
        std::fprintf(stderr, "printpanels-portal: %s\n", error.toUtf8().constData());
        return 2;
    }
    // PRINTPANELS_PORTAL_TRACE=1: the wall-clock time (ms) each dialog is up,
    // on standard error, for the benchmark.
    if (qEnvironmentVariableIntValue("PRINTPANELS_PORTAL_TRACE"))
        QObject::connect(&portal, &PrintPortal::dialogShown, &portal, [] {
            QTimer::singleShot(0, [] {
                std::fprintf(stderr, "printpanels-portal: dialog shown at %lld\n",
                             static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
            });
        });
    // Each dialog loads its own copy of the plug-ins, which stays loaded:
    // an idle backend ends, and the next request starts a fresh one.
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, &app, [&portal] {
        if (portal.idleMs() >= kIdleExitMs)
            QCoreApplication::quit();
    });
    idle.start(kIdleExitMs / 8);
    return app.exec();
}
