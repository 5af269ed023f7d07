// What the host's widget tests share: an offscreen QApplication, the built
// plug-in on PRINTPANELS_PLUGIN_PATH, a private configuration directory, and
// ways to reach controls the way a user (or a screen reader) does.
#pragma once

#include <Peers.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

namespace hosttest {

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "host_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR, 1);
        static lwtest::TempDir config;
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        return new QApplication(argc, argv);
    }();
    return *instance;
}

// The control a label names ("Color Mode:"), the way assistive technology
// finds it: through the label's buddy.
inline QWidget* controlLabelled(QWidget* root, const QString& labelText)
{
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->text().remove(QLatin1Char('&')) == labelText && label->buddy())
            return label->buddy();
    return nullptr;
}

// Chooses an item of a pop-up with the keyboard, as a user would: focus,
// then as many Up/Down presses as lie between the current item and the one
// with that text. True when that item is still current afterwards (a choice
// the PPD refuses snaps back).
inline bool chooseByKeyboard(QComboBox* combo, const QString& itemText)
{
    const int target = combo->findText(itemText);
    if (target < 0 || !combo->isEnabled())
        return false;
    combo->setFocus();
    const int steps = target - combo->currentIndex();
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(combo, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    QApplication::processEvents();
    return combo->currentIndex() == target;
}

// Runs the event loop until `done` holds or `timeoutMs` have passed; returns
// `done()`.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The printer's PPD without one option (every line that names it), written
// into `dir`; returns its path.
inline std::string ppdWithout(const lwtest::TempDir& dir, const std::string& option)
{
    std::ifstream in(PRINTPANELS_TEST_PPD);
    std::ostringstream out;
    const std::regex names("\\*(Default)?" + option + "([ /:]|$)");
    for (std::string line; std::getline(in, line);)
        if (!std::regex_search(line, names))
            out << line << '\n';
    return dir.write("without-" + option + ".ppd", out.str());
}

} // namespace hosttest
