// What levelwatch-discover takes from an administrator's hosts file, and how
// it writes what printers and interfaces call themselves.
#include "Discover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HostsFile, OneHostPerLineCommentsAndBlankLinesAndEveryOtherLineNamed)
{
    std::vector<HostEntry> hosts;
    std::vector<std::string> rejected;
    ParseHostsText("# fleet\n"
                   "  192.0.2.11\t# front office\n"
                   "\n"
                   "printer-3.example.org\r\n"
                   "fe80::11%eth0\n"
                   "two words\n"
                   "semi;colon\n"
                   + std::string(256, 'a') + "\n"
                   "# 192.0.2.99\n"
                   "2001:db8::7",
                   hosts, rejected);
    ASSERT_EQ(hosts.size(), 4u);
    const std::vector<std::pair<std::string, int>> expected = {
        {"192.0.2.11", 2}, {"printer-3.example.org", 4}, {"fe80::11%eth0", 5}, {"2001:db8::7", 10}};
    for (size_t i = 0; i < hosts.size(); ++i) {
        EXPECT_EQ(hosts[i].text, expected[i].first);
        EXPECT_EQ(hosts[i].line, expected[i].second);
    }
    EXPECT_EQ(rejected, (std::vector<std::string>{"line 6: \"words\" is no credential set of /etc/levelwatch/snmp.conf",
                                                  "line 7: \"semi;colon\" is neither an address nor a name",
                                                  "line 8: longer than 255 bytes"}));
}

TEST(HostsFile, NumbersAreAddressesAndZonesNameInterfaces)
{
    const std::vector<ResolvedHost> r =
        ResolveHosts({{"192.0.2.11", 1, "", ""},
                      {"fe80::11%lo", 2, "", ""},
                      {"fe80::11", 3, "", ""},
                      {"fe80::1%no-such-if", 4, "", ""},
                      {"2001:db8::1%lo", 5, "", ""}},
                     1);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].address, "192.0.2.11");
    EXPECT_EQ(r[1].address, "fe80::11%lo");
    EXPECT_EQ(r[2].address, "");
    EXPECT_NE(r[2].error.find("needs the interface"), std::string::npos);
    EXPECT_EQ(r[3].address, "");
    EXPECT_EQ(r[4].address, ""); // an interface name only zones a link-local address
}

TEST(OutputTexts, BytesThatAreNotUtf8BecomeLatin1CharactersAndZonesArePercentEncoded)
{
    EXPECT_EQ(ValidUtf8("Caf\xc3\xa9"), "Caf\xc3\xa9");
    EXPECT_EQ(ValidUtf8("Caf\xe9"), "Caf\xc3\xa9");
    EXPECT_EQ(ValidUtf8("\xc0\xaf"), "\xc3\x80\xc2\xaf");             // overlong "/"
    EXPECT_EQ(ValidUtf8("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80"); // a surrogate
    EXPECT_EQ(ValidUtf8("\xf4\x90\x80\x80"), "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"); // past U+10FFFF
    EXPECT_EQ(ValidUtf8("\xf0\x9f\x96\xa8 \xe2\x82"), "\xf0\x9f\x96\xa8 \xc3\xa2\xc2\x82"); // whole, then cut short

    EXPECT_EQ(UriHost("192.0.2.11"), "192.0.2.11");
    EXPECT_EQ(UriHost("2001:db8::7"), "[2001:db8::7]");
    EXPECT_EQ(UriHost("fe80::11%eth0"), "[fe80::11%25eth0]");
    EXPECT_EQ(UriHost("fe80::11%br-lan#2"), "[fe80::11%25br-lan%232]");
    EXPECT_EQ(UriHost("fe80::11%w\xc3\xa4n"), "[fe80::11%25w%C3%A4n]");
}

} // namespace
