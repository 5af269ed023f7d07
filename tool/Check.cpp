#include "Check.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace check {

namespace {

const char* const kColors[4] = {"black", "cyan", "magenta", "yellow"};
const char* const kStateNames[4] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// A whole text as a finite number.
std::optional<double> number(const std::string& text)
{
    if (text.empty() || text.find_first_of(" \t\n") != std::string::npos)
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

std::optional<Range> ParseRange(const std::string& text)
{
    Range r;
    r.text = text;
    std::string rest = text;
    if (!rest.empty() && rest[0] == '@') {
        r.alertInside = true;
        rest.erase(0, 1);
    }
    if (rest.empty())
        return std::nullopt;
    std::string endText = rest;
    if (const size_t colon = rest.find(':'); colon != std::string::npos) {
        const std::string startText = rest.substr(0, colon);
        endText = rest.substr(colon + 1);
        if (startText == "~") {
            r.startInfinite = true;
        } else {
            const auto start = number(startText);
            if (!start)
                return std::nullopt;
            r.start = *start;
        }
        if (endText.empty())
            r.endInfinite = true;
    }
    if (!r.endInfinite) {
        const auto end = number(endText);
        if (!end)
            return std::nullopt;
        r.end = *end;
        if (!r.startInfinite && r.start > r.end)
            return std::nullopt;
    }
    return r;
}

bool Alerts(const Range& range, double value)
{
    const bool inside = (range.startInfinite || value >= range.start) && (range.endInfinite || value <= range.end);
    return range.alertInside ? inside : !inside;
}

Verdict TonerVerdict(const int levels[4], const Range& warning, const Range& critical)
{
    bool anyCritical = false, anyWarning = false, anyUnknown = false;
    std::string summary, perfdata;
    for (int i = 0; i < 4; ++i) {
        const int level = levels[i];
        const bool known = level >= 0 && level <= 100;
        std::string value;
        if (known) {
            anyCritical = anyCritical || Alerts(critical, level);
            anyWarning = anyWarning || Alerts(warning, level);
            value = std::to_string(level) + "%";
        } else {
            anyUnknown = true;
        }
        summary += std::string(i ? ", " : "") + kColors[i] + " " + (known ? value : "unknown");
        perfdata += std::string(i ? " " : "") + "'" + kColors[i] + "'=" + (known ? value : "U") + ";" + warning.text
                    + ";" + critical.text + ";0;100";
    }
    Verdict v;
    v.state = anyCritical ? kCritical : anyWarning ? kWarning : anyUnknown ? kUnknown : kOk;
    v.line = std::string("TONER ") + kStateNames[v.state] + " - " + summary + " | " + perfdata;
    return v;
}

std::string UnknownLine(const std::string& why)
{
    // One line, whatever the text holds.
    std::string safe = why;
    for (char& c : safe)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '|')
            c = c == '|' ? '/' : ' ';
    return "TONER UNKNOWN - " + safe;
}

} // namespace check
