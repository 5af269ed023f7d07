// Fuzz target: the print settings and page setup an application hands the
// print portal (GtkPrintSettings keys), read and written back.
#include "GtkSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace printpanels::portal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Lines "key=value"; a line starting with '@' goes to the page setup.
    KeyValues settings, pageSetup;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        KeyValues& into = !line.empty() && line[0] == '@' ? pageSetup : settings;
        if (&into == &pageSetup)
            line.erase(0, 1);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            into[line.substr(0, eq)] = line.substr(eq + 1);
    }
    const InitialSettings in = readInitial(settings, pageSetup);
    Chosen chosen;
    chosen.printer = in.printer;
    chosen.ranges = in.ranges;
    chosen.orientation = in.orientation;
    chosen.paper = in.paper;
    chosen.copies = in.copies;
    const KeyValues back = settingsFor(chosen);
    // Ranges read back as they were written.
    if (!in.ranges.empty()) {
        KeyValues again = back;
        if (readInitial(again, {}).ranges != in.ranges)
            __builtin_trap();
    }
    pageSetupText(chosen);
    return 0;
}
