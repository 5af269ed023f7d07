// The Prometheus exposition of what the front ends found.
#include "Metrics.h"

#include <gtest/gtest.h>

namespace {

FoundPrinter printer(const std::string& address, const std::string& name, std::initializer_list<int> levels)
{
    FoundPrinter p;
    p.address = address;
    p.snmp = "v1";
    p.name = name;
    p.firmware = "V1.07.3";
    p.mcuFirmware = "M2.11";
    p.haveLevels = levels.size() == 4;
    int i = 0;
    for (int level : levels)
        p.levels[i++] = level;
    return p;
}

TEST(Metrics, OneRunWithEveryFamilyUnknownLevelsAndSilentAddresses)
{
    FoundPrinter noLevels = printer("fe80::12%lwbr1", "Print Room", {});
    noLevels.snmp = "v3";
    noLevels.mcuFirmware.clear();
    const std::string text = metrics::PrometheusText(
        {printer("192.0.2.11", "Front Office", {55, 10, 0, 127}), noLevels,
         printer("192.0.2.11", "listed twice", {1, 1, 1, 1}), printer("192.0.2.20", "Back", {11, 100, -1, 101})},
        {"198.51.100.15", "192.0.2.20", "printer.example", "198.51.100.15"}, 2.31849);
    EXPECT_EQ(text,
              "# HELP levelwatch_printer_up Whether a printer of the model answered at the address (1) or the address "
              "was asked and none did (0).\n"
              "# TYPE levelwatch_printer_up gauge\n"
              "levelwatch_printer_up{address=\"192.0.2.11\"} 1\n"
              "levelwatch_printer_up{address=\"fe80::12%lwbr1\"} 1\n"
              "levelwatch_printer_up{address=\"192.0.2.20\"} 1\n"
              "levelwatch_printer_up{address=\"198.51.100.15\"} 0\n"
              "levelwatch_printer_up{address=\"printer.example\"} 0\n"
              "# HELP levelwatch_printer_info The printer's name, firmware and MCU firmware versions, and the SNMP "
              "version it answered (always 1).\n"
              "# TYPE levelwatch_printer_info gauge\n"
              "levelwatch_printer_info{address=\"192.0.2.11\",name=\"Front Office\",firmware=\"V1.07.3\","
              "mcu_firmware=\"M2.11\",snmp=\"v1\"} 1\n"
              "levelwatch_printer_info{address=\"fe80::12%lwbr1\",name=\"Print Room\",firmware=\"V1.07.3\","
              "mcu_firmware=\"\",snmp=\"v3\"} 1\n"
              "levelwatch_printer_info{address=\"192.0.2.20\",name=\"Back\",firmware=\"V1.07.3\","
              "mcu_firmware=\"M2.11\",snmp=\"v1\"} 1\n"
              "# HELP levelwatch_toner_level_ratio Toner level from 0 (empty) to 1 (full); no sample while the "
              "printer does not know it.\n"
              "# TYPE levelwatch_toner_level_ratio gauge\n"
              "levelwatch_toner_level_ratio{address=\"192.0.2.11\",name=\"Front Office\",color=\"black\"} 0.55\n"
              "levelwatch_toner_level_ratio{address=\"192.0.2.11\",name=\"Front Office\",color=\"cyan\"} 0.1\n"
              "levelwatch_toner_level_ratio{address=\"192.0.2.11\",name=\"Front Office\",color=\"magenta\"} 0\n"
              "levelwatch_toner_level_ratio{address=\"192.0.2.20\",name=\"Back\",color=\"black\"} 0.11\n"
              "levelwatch_toner_level_ratio{address=\"192.0.2.20\",name=\"Back\",color=\"cyan\"} 1\n"
              "# HELP levelwatch_toner_low Whether the toner is low (1: at or below 10 percent).\n"
              "# TYPE levelwatch_toner_low gauge\n"
              "levelwatch_toner_low{address=\"192.0.2.11\",name=\"Front Office\",color=\"black\"} 0\n"
              "levelwatch_toner_low{address=\"192.0.2.11\",name=\"Front Office\",color=\"cyan\"} 1\n"
              "levelwatch_toner_low{address=\"192.0.2.11\",name=\"Front Office\",color=\"magenta\"} 1\n"
              "levelwatch_toner_low{address=\"192.0.2.20\",name=\"Back\",color=\"black\"} 0\n"
              "levelwatch_toner_low{address=\"192.0.2.20\",name=\"Back\",color=\"cyan\"} 0\n"
              "# HELP levelwatch_toner_empty Whether the toner is empty (1: at 0 percent).\n"
              "# TYPE levelwatch_toner_empty gauge\n"
              "levelwatch_toner_empty{address=\"192.0.2.11\",name=\"Front Office\",color=\"black\"} 0\n"
              "levelwatch_toner_empty{address=\"192.0.2.11\",name=\"Front Office\",color=\"cyan\"} 0\n"
              "levelwatch_toner_empty{address=\"192.0.2.11\",name=\"Front Office\",color=\"magenta\"} 1\n"
              "levelwatch_toner_empty{address=\"192.0.2.20\",name=\"Back\",color=\"black\"} 0\n"
              "levelwatch_toner_empty{address=\"192.0.2.20\",name=\"Back\",color=\"cyan\"} 0\n"
              "# HELP levelwatch_scan_duration_seconds How long asking the printers took.\n"
              "# TYPE levelwatch_scan_duration_seconds gauge\n"
              "levelwatch_scan_duration_seconds 2.318\n");
}

TEST(Metrics, UntrustedBytesBecomeAValidLabelValue)
{
    EXPECT_EQ(metrics::LabelValue("a\\b\"c\nd\re\tf\x7f"), "a\\\\b\\\"c\\nd e f ");
    // Whole sequences pass (two, three and four bytes); every other byte
    // becomes the Latin-1 character of its number, as in the other outputs:
    // a stray continuation, a lone lead byte, a cut sequence, an overlong
    // form, a surrogate, a code point above U+10FFFF.
    EXPECT_EQ(metrics::LabelValue("B\xC3\xBCro \xE2\x82\xAC \xF0\x9F\x96\xA8"), "B\xC3\xBCro \xE2\x82\xAC \xF0\x9F\x96\xA8");
    EXPECT_EQ(metrics::LabelValue("x\xFF\xC3 \xE2\x82 \xC0\xAF \xED\xA0\x80 \xF4\x90y"),
              "x\xC3\xBF\xC3\x83 \xC3\xA2\xC2\x82 \xC3\x80\xC2\xAF \xC3\xAD\xC2\xA0\xC2\x80 \xC3\xB4\xC2\x90y");
    // A name that is all hostile still leaves one sample line per series.
    const std::string text = metrics::PrometheusText({printer("192.0.2.11", "\"}\n0 1\n#", {50, 50, 50, 50})}, {}, 1);
    EXPECT_NE(text.find("name=\"\\\"}\\n0 1\\n#\""), std::string::npos) << text;
    EXPECT_EQ(text.find("\n0 1"), std::string::npos);
}

TEST(Metrics, AnAskedHostIsSilentUnlessAPrinterAnsweredForItsAddress)
{
    const std::vector<FoundPrinter> found = {printer("127.0.0.1", "", {}), printer("fe80::12%lwbr1", "", {})};
    EXPECT_EQ(metrics::SilentHosts({"127.0.0.1", "localhost", "fe80::12", "fe80::12%lwbr1", "192.0.2.99",
                                    "no-such-host.invalid", "192.0.2.99"},
                                   found),
              (std::vector<std::string>{"192.0.2.99", "no-such-host.invalid"}));
}

// What a run left out is a family of its own, one sample per reason, and
// only when there is any.
TEST(Metrics, WhatARunLeftOutByReason)
{
    const std::string text = metrics::PrometheusText(
        {}, {"198.51.100.15"}, 1, {{true, "3 questions ...", "unsent", 3}, {false, "2 answers ...", "notasked", 2}});
    EXPECT_NE(text.find("# TYPE levelwatch_scan_left_out gauge\n"
                        "levelwatch_scan_left_out{reason=\"unsent\",bound=\"1\"} 3\n"
                        "levelwatch_scan_left_out{reason=\"notasked\",bound=\"0\"} 2\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(metrics::PrometheusText({}, {}, 1).find("left_out"), std::string::npos);
}

} // namespace
