#include "Chain.h"
#include "Report.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

PRINTER_STATUS statusWithLevels(unsigned char k, unsigned char c, unsigned char m, unsigned char y)
{
    PRINTER_STATUS s;
    std::memset(&s, 0x55, sizeof s);
    s.bytes[0] = k;
    s.bytes[1] = c;
    s.bytes[2] = m;
    s.bytes[3] = y;
    return s;
}

const std::string kEnglish[4] = {"Black Print Cartridge", "Cyan Print Cartridge", "Magenta Print Cartridge",
                                 "Yellow Print Cartridge"};

} // namespace

// The whole report, written out by hand from the printer MIB's marker-supplies
// names: the key order differs per entry and the zero colour components are
// "00" except yellow's blue, "0".
TEST(SupplyReport, IsExactlyThePropertyList)
{
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\""
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"><plist version=\"1.0\"><dict>"
        "<key>prtMarkerSuppliesTable</key><array>"
        "<dict><key>prtMarkerSuppliesClass</key><integer>3</integer><key>prtMarkerSuppliesDescription</key>"
        "<string>Black Print Cartridge</string><key>prtMarkerSuppliesLevel</key><integer>100</integer>"
        "<key>prtMarkerSuppliesMaxCapacity</key><integer>100</integer><key>prtMarkerSRGBRepresentation</key>"
        "<array><integer>00</integer><integer>00</integer><integer>00</integer></array>"
        "<key>prtMarkerSuppliesSupplyUnit</key><integer>19</integer><key>prtMarkerSuppliesType</key>"
        "<integer>3</integer><key>prtMarkerPartNumber</key><string> </string></dict>"
        "<dict><key>prtMarkerSuppliesClass</key><integer>3</integer><key>prtMarkerSuppliesDescription</key>"
        "<string>Cyan Print Cartridge</string><key>prtMarkerSuppliesLevel</key><integer>127</integer>"
        "<key>prtMarkerSuppliesMaxCapacity</key><integer>100</integer><key>prtMarkerSuppliesSupplyUnit</key>"
        "<integer>19</integer><key>prtMarkerSRGBRepresentation</key><array><integer>00</integer>"
        "<integer>255</integer><integer>255</integer></array><key>prtMarkerSuppliesType</key>"
        "<integer>3</integer><key>prtMarkerPartNumber</key><string></string></dict>"
        "<dict><key>prtMarkerSuppliesClass</key><integer>3</integer><key>prtMarkerSuppliesDescription</key>"
        "<string>Magenta Print Cartridge</string><key>prtMarkerSuppliesLevel</key><integer>0</integer>"
        "<key>prtMarkerSuppliesMaxCapacity</key><integer>100</integer><key>prtMarkerSuppliesSupplyUnit</key>"
        "<integer>19</integer><key>prtMarkerSuppliesType</key><integer>3</integer>"
        "<key>prtMarkerSRGBRepresentation</key><array><integer>255</integer><integer>00</integer>"
        "<integer>255</integer></array><key>prtMarkerPartNumber</key><string></string></dict>"
        "<dict><key>prtMarkerSuppliesClass</key><integer>3</integer><key>prtMarkerSuppliesDescription</key>"
        "<string>Yellow Print Cartridge</string><key>prtMarkerSuppliesLevel</key><integer>42</integer>"
        "<key>prtMarkerSuppliesMaxCapacity</key><integer>100</integer><key>prtMarkerSuppliesSupplyUnit</key>"
        "<integer>19</integer><key>prtMarkerSuppliesType</key><integer>3</integer>"
        "<key>prtMarkerSRGBRepresentation</key><array><integer>255</integer><integer>255</integer>"
        "<integer>0</integer></array><key>prtMarkerPartNumber</key><string> </string></dict>"
        "</array></dict></plist>";
    // Bit 7 is not part of a level: E4 is 100, FF is 127 (above the capacity), 80 is 0.
    EXPECT_EQ(SupplyReport(statusWithLevels(0xE4, 0xFF, 0x80, 42), kEnglish), expected);
}

TEST(SupplyReport, EscapesMarkupInTranslatedDescriptions)
{
    const std::string translated[4] = {"Noir & blanc", "<cyan>", "a>b", "plain"};
    std::string report = SupplyReport(statusWithLevels(1, 2, 3, 4), translated);
    EXPECT_NE(report.find("<string>Noir &amp; blanc</string>"), std::string::npos);
    EXPECT_NE(report.find("<string>&lt;cyan&gt;</string>"), std::string::npos);
    EXPECT_NE(report.find("<string>a&gt;b</string>"), std::string::npos);
    EXPECT_NE(report.find("<string>plain</string>"), std::string::npos);
}

TEST(SupplyReport, EnglishDescriptionsWithoutCatalogue)
{
    std::string descriptions[4];
    SupplyDescriptions(descriptions);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(descriptions[i], kEnglish[i]);
}

// The filter's first line must hold at least 127 characters, its end of line counted.
TEST(UsbGate, AcceptsFrom127Characters)
{
    EXPECT_TRUE(UsbLineLongEnough(std::string(126, 'x') + "\n"));
    EXPECT_FALSE(UsbLineLongEnough(std::string(125, 'x') + "\n"));
    EXPECT_FALSE(UsbLineLongEnough(""));
    EXPECT_TRUE(UsbLineLongEnough(std::string(2048, 'x')));
}
