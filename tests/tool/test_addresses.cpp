#include "Chain.h"
#include "DeviceUri.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<std::string, std::string>> listFor(const std::string& uri)
{
    auto parts = platform::separateUri(uri);
    EXPECT_TRUE(parts.has_value()) << uri;
    if (!parts)
        return {};
    getAddressFromURL(parts->scheme, parts->host);
    EXPECT_EQ(mDNSIP.size(), mDNSType.size());
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i < mDNSIP.size(); ++i)
        out.emplace_back(mDNSType[i], mDNSIP[i]);
    return out;
}

using List = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST(AddressFromUrl, HostLiteralSchemesInAnyLetterCase)
{
    EXPECT_EQ(listFor("socket://127.0.0.2:9100"), (List {{"IPv4", "127.0.0.2"}}));
    EXPECT_EQ(listFor("SOCKET://127.0.0.2"), (List {{"IPv4", "127.0.0.2"}}));
    EXPECT_EQ(listFor("Lpd://127.0.0.9/queue"), (List {{"IPv4", "127.0.0.9"}}));
    EXPECT_EQ(listFor("ipp://[::1]:631/printers/x"), (List {{"IPv6", "::1"}}));
}

TEST(AddressFromUrl, OtherSchemesAndUnknownNamesListNothing)
{
    EXPECT_TRUE(listFor("smb://host/share").empty());
    EXPECT_TRUE(listFor("http://127.0.0.2/").empty());
    EXPECT_TRUE(listFor("socket://no-such-host.invalid").empty());
    // A previous list does not survive the next call.
    listFor("socket://127.0.0.2");
    EXPECT_TRUE(listFor("usb://Maker/Model").empty());
}

TEST(DeviceUri, IdentifierWithSchemeIsTheUriItself)
{
    EXPECT_EQ(platform::deviceUriForQueue("socket://127.0.0.2"), "socket://127.0.0.2");
    EXPECT_FALSE(platform::separateUri("no scheme here").has_value());
    auto p = platform::separateUri("dnssd://Office%20Colour._printer._tcp.local./?uuid=1");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->scheme, "dnssd");
    EXPECT_EQ(p->host, "Office Colour._printer._tcp.local.");
}
