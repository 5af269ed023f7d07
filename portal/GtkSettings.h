// The print settings and page setup an application hands the print portal
// (GtkPrintSettings and GtkPageSetup keys, all as text), read into what the
// dialog starts from, and the dialog's choices written back in those keys.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace printpanels::portal {

using KeyValues = std::map<std::string, std::string>;

// Bounds of what is read from an application: keys beyond the count and
// values beyond the length are ignored; so are page ranges past the count.
inline constexpr size_t kMaxSettingsKeys = 256;
inline constexpr size_t kMaxSettingValue = 4096;
inline constexpr int kMaxPageRanges = 64;
inline constexpr int kMaxCopies = 9999;

// What the dialog starts from. Zero, empty or -1: not given, the dialog's own.
struct InitialSettings {
    std::string printer;
    int copies = 0;
    int collate = -1;     // 0 or 1
    int reverse = -1;     // 0 or 1
    std::string pageSet;  // CUPS page-set: "all", "odd", "even"
    std::string ranges;   // as the dialog shows them, 1-based: "1-3,5"
    int orientation = 0;  // IPP orientation-requested, 3 to 6
    int numberUp = 0;     // 1, 2, 4, 6, 9 or 16
    std::string paper;    // the PPD's PageSize choice
};

// Reads the keys the dialog knows from the settings and the page setup;
// anything malformed is left out.
InitialSettings readInitial(const KeyValues& settings, const KeyValues& pageSetup);

// What the dialog chose, for the application.
struct Chosen {
    std::string printer;
    int copies = 1;
    bool collate = false;
    bool reverse = false;
    std::string pageSet = "all";
    std::string ranges; // 1-based, "" for all pages
    int orientation = 3;
    int numberUp = 1;
    int scale = 100;    // percent
    std::string paper;  // PPD PageSize choice
    std::string paperText;
    double widthMm = 0, heightMm = 0; // portrait
    double marginMm[4] = {0, 0, 0, 0}; // top, bottom, left, right
};

// GtkPrintSettings keys (values as text).
KeyValues settingsFor(const Chosen& chosen);
// GtkPageSetup keys; Width, Height and the margins are numbers (millimetres).
std::vector<std::pair<std::string, std::string>> pageSetupText(const Chosen& chosen);

} // namespace printpanels::portal
