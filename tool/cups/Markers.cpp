#include "Markers.h"

namespace levels {

namespace {

const char* const kColours[4] = {"#000000", "#00FFFF", "#FF00FF", "#FFFF00"};
constexpr size_t kNameMax = 127;

std::string joined(const int values[4])
{
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += (i ? "," : "") + std::to_string(values[i]);
    return out;
}

} // namespace

int MarkerLevel(unsigned char statusByte)
{
    int level = statusByte & 0x7f;
    return level <= 100 ? level : kLevelUnknown;
}

std::string MarkerName(const std::string& text, const std::string& fallback)
{
    std::string out;
    for (unsigned char c : text) {
        bool unsafe = c < 0x20 || c == 0x7f || c == ',' || c == '"' || c == '\'' || c == '\\';
        out += unsafe ? ' ' : static_cast<char>(c);
    }
    if (out.size() > kNameMax) {
        size_t cut = kNameMax;
        // Back up to the first byte of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return fallback;
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string MarkerLines(const PRINTER_STATUS& status, const std::string names[4])
{
    int levels[4], low[4], high[4];
    bool empty = false, lowToner = false;
    for (int i = 0; i < 4; ++i) {
        levels[i] = MarkerLevel(status.bytes[i]);
        low[i] = kLowLevel;
        high[i] = kHighLevel;
        empty = empty || levels[i] == 0;
        lowToner = lowToner || (levels[i] > 0 && levels[i] <= kLowLevel);
    }
    static const char* const kFallback[4] = {"Black", "Cyan", "Magenta", "Yellow"};
    std::string quotedNames;
    for (int i = 0; i < 4; ++i)
        quotedNames += std::string(i ? "," : "") + "\"" + MarkerName(names[i], kFallback[i]) + "\"";

    std::string out;
    out += "ATTR: marker-colors=";
    for (int i = 0; i < 4; ++i)
        out += std::string(i ? "," : "") + kColours[i];
    out += "\n";
    out += "ATTR: marker-high-levels=" + joined(high) + "\n";
    out += "ATTR: marker-levels=" + joined(levels) + "\n";
    out += "ATTR: marker-low-levels=" + joined(low) + "\n";
    out += "ATTR: marker-names=" + quotedNames + "\n";
    out += "ATTR: marker-types=toner,toner,toner,toner\n";
    out += std::string("STATE: ") + (empty ? "+" : "-") + "toner-empty-warning\n";
    out += std::string("STATE: ") + (lowToner ? "+" : "-") + "toner-low-report\n";
    return out;
}

} // namespace levels
