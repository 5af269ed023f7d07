// check_levelwatch's verdict on the four toner levels, after the Monitoring
// Plugins' development guidelines: thresholds as ranges, one status line,
// performance data, and the states OK, WARNING, CRITICAL and UNKNOWN.
#pragma once

#include <optional>
#include <string>

namespace check {

// The plug-in states and their exit statuses.
enum State : int { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

// A threshold range: [@][start:][end]. "10" is 0..10, "10:" is 10..infinity,
// "~:10" is -infinity..10, "10:20" is 10..20 (the ends belong to the range);
// a value outside it alerts, or, with a leading "@", a value inside it.
struct Range {
    double start = 0;
    double end = 0;
    bool startInfinite = false; // "~"
    bool endInfinite = false;   // "start:" with nothing after the colon
    bool alertInside = false;   // "@"
    std::string text;           // as given, for the performance data
};

// Parses a range; nullopt for anything else (an empty text, a number that
// is not whole text, start above end).
std::optional<Range> ParseRange(const std::string& text);

// True when the value alerts against the range.
bool Alerts(const Range& range, double value);

struct Verdict {
    State state = kUnknown;
    std::string line; // "TONER OK - black 55%, ... | 'black'=55%;20:;5:;0;100 ..." without a line end
};

// The verdict on the levels of black, cyan, magenta and yellow (percent;
// anything outside 0..100 is unknown). A toner at its critical threshold
// makes the check CRITICAL, else one at its warning threshold WARNING, else
// an unknown level UNKNOWN, else OK.
Verdict TonerVerdict(const int levels[4], const Range& warning, const Range& critical);

// The line of a check that got no levels: "TONER UNKNOWN - <why>".
std::string UnknownLine(const std::string& why);

} // namespace check
