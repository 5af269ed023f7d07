#include "Report.h"

#include "Log.h"

#include <cstdio>

namespace {

// The texts whose translations describe the four cartridges.
const char* const kDescriptionKeys[4] = {"Black Print Cartridge", "Cyan Print Cartridge",
                                         "Magenta Print Cartridge", "Yellow Print Cartridge"};

std::string escapeXml(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

// Each fixed piece carries the tail of one entry and the head of the next.
const char* const kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> "
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\""
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"
    "<plist version=\"1.0\"><dict><key>prtMarkerSuppliesTable</key><array>";
const char* const kEntryHead =
    "<dict><key>prtMarkerSuppliesClass</key><integer>3</integer>"
    "<key>prtMarkerSuppliesDescription</key><string>";
const char* const kLevelKey = "</string><key>prtMarkerSuppliesLevel</key><integer>";
const char* const kCapacity = "</integer><key>prtMarkerSuppliesMaxCapacity</key><integer>100</integer>";
const char* const kUnit = "<key>prtMarkerSuppliesSupplyUnit</key><integer>19</integer>";
const char* const kType = "<key>prtMarkerSuppliesType</key><integer>3</integer>";
const char* const kColours[4] = {
    "<key>prtMarkerSRGBRepresentation</key><array><integer>00</integer><integer>00</integer>"
    "<integer>00</integer></array>",
    "<key>prtMarkerSRGBRepresentation</key><array><integer>00</integer><integer>255</integer>"
    "<integer>255</integer></array>",
    "<key>prtMarkerSRGBRepresentation</key><array><integer>255</integer><integer>00</integer>"
    "<integer>255</integer></array>",
    "<key>prtMarkerSRGBRepresentation</key><array><integer>255</integer><integer>255</integer>"
    "<integer>0</integer></array>",
};
const char* const kPartNumberSpace = "<key>prtMarkerPartNumber</key><string> </string></dict>";
const char* const kPartNumberEmpty = "<key>prtMarkerPartNumber</key><string></string></dict>";
const char* const kTail = "</array></dict></plist>";

} // namespace

std::string SupplyReport(const PRINTER_STATUS& status, const std::string descriptions[4])
{
    std::string out = kHead;
    for (int i = 0; i < 4; ++i) {
        out += kEntryHead;
        out += escapeXml(descriptions[i]);
        out += kLevelKey;
        out += std::to_string(status.bytes[i] & 0x7f);
        out += kCapacity;
        // Each entry writes its colour, unit and type keys in its own order.
        switch (i) {
        case 0: out += kColours[0]; out += kUnit; out += kType; break;
        case 1: out += kUnit; out += kColours[1]; out += kType; break;
        default: out += kUnit; out += kType; out += kColours[i]; break;
        }
        out += (i == 0 || i == 3) ? kPartNumberSpace : kPartNumberEmpty;
    }
    out += kTail;
    return out;
}

void SupplyDescriptions(std::string descriptions[4])
{
    for (int i = 0; i < 4; ++i)
        descriptions[i] = platform::localizedString(kDescriptionKeys[i]);
}

bool PrintSupplyReport(const PRINTER_STATUS& status)
{
    std::string descriptions[4];
    SupplyDescriptions(descriptions);
    std::string report = SupplyReport(status, descriptions);
    return std::fwrite(report.data(), 1, report.size(), stdout) == report.size() && std::fflush(stdout) == 0;
}
