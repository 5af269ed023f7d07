// The marker lines CUPS reads from our filters, and the command-file parser.
#include "CommandFile.h"
#include "Markers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace levels;

namespace {

PRINTER_STATUS block(unsigned char k, unsigned char c, unsigned char m, unsigned char y)
{
    PRINTER_STATUS s;
    std::memset(&s, 0x5A, sizeof s);
    s.bytes[0] = k;
    s.bytes[1] = c;
    s.bytes[2] = m;
    s.bytes[3] = y;
    return s;
}

} // namespace

// Bit 7 is not part of a level; 101..127 are no percentage and read as
// unknown (-2); names lose what would split the list or the line.
TEST(MarkerLines, FourEqualListsAndTheReasonsTheLevelsImply)
{
    const std::string names[4] = {"Black, \"extra\"", "  Cyan\\Toner\n", "", std::string(200, 'y') + "\xC3\xA9"};
    EXPECT_EQ(MarkerLines(block(0x80 | 100, 101, 0, 0x80 | 10), names),
              "ATTR: marker-colors=#000000,#00FFFF,#FF00FF,#FFFF00\n"
              "ATTR: marker-high-levels=100,100,100,100\n"
              "ATTR: marker-levels=100,-2,0,10\n"
              "ATTR: marker-low-levels=10,10,10,10\n"
              "ATTR: marker-names=\"Black   extra\",\"Cyan Toner\",\"Magenta\",\"" + std::string(127, 'y') + "\"\n"
              "ATTR: marker-types=toner,toner,toner,toner\n"
              "STATE: +toner-empty-warning\n"
              "STATE: +toner-low-report\n");
    // A name cut inside a UTF-8 sequence keeps none of it.
    EXPECT_EQ(MarkerName(std::string(126, 'a') + "\xC3\xA9", "x"), std::string(126, 'a'));
}

TEST(CommandFile, NamesInOrderCommentsAndBadFilesRefused)
{
    const std::string text = "#CUPS-COMMAND\r\n# a comment\n\n  ReportLevels now\r\n\tClean\nPrintSelfTestPage";
    CommandFile file = ParseCommandFile(text.data(), text.size());
    EXPECT_TRUE(file.valid);
    EXPECT_EQ(file.commands, (std::vector<std::string> {"ReportLevels", "Clean", "PrintSelfTestPage"}));

    for (const std::string bad : {"", "ReportLevels\n", "#CUPS-COMMANDS\nReportLevels\n", "#cups-command\n"})
        EXPECT_FALSE(ParseCommandFile(bad.data(), bad.size()).valid) << bad;
    // Only the bytes given are read: the header cut short is no header.
    EXPECT_FALSE(ParseCommandFile("#CUPS-COMMAND", 12).valid);

    std::string many = "#CUPS-COMMAND\n" + std::string(100, 'N') + "\n";
    for (int i = 0; i < 100; ++i)
        many += "Cmd" + std::to_string(i) + "\n";
    file = ParseCommandFile(many.data(), many.size());
    ASSERT_EQ(file.commands.size(), kMaxCommands);
    EXPECT_EQ(file.commands[0], std::string(kMaxCommandName, 'N'));
    EXPECT_EQ(PrintableCommand(std::string("Re\x01port\xff", 8)), "Re?port?");
}
