#include "Chain.h"
#include "DeviceUri.h"

#include <cups/cups.h>

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

// The URIs separated without libcups give what libcups gives (which keeps
// the scheme and host whatever follows them); the others are left to libcups.
TEST(DeviceUri, PlainUrisAreSeparatedAsLibcupsSeparatesThem)
{
    const auto viaCups = [](const std::string& uri) {
        char scheme[64] = "", user[256] = "", host[1024] = "", resource[2048] = "";
        int port = 0;
        httpSeparateURI(HTTP_URI_CODING_MOST, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                        sizeof host, &port, resource, sizeof resource);
        return std::make_pair(std::string(scheme), std::string(host));
    };
    for (const char* uri : {"socket://192.0.2.20", "socket://192.0.2.20:9100", "SOCKET://Printer-3.example.",
                            "ipp://[::1]:631/printers/x", "ipp://[FE80::1]/", "lpd://h_o~st/queue", "ipps://a.b:65535/",
                            "usb://Maker/Model?serial=1 2", "a.b-c+d://h"}) {
        const auto plain = platform::separatePlainUri(uri);
        ASSERT_TRUE(plain) << uri;
        EXPECT_EQ(std::make_pair(plain->scheme, plain->host), viaCups(uri)) << uri;
        EXPECT_EQ(plain->absolute, uri);
    }
    for (const char* uri : {"dnssd://Office%20Colour._printer._tcp.local./?uuid=1", "socket://user@host",
                            "socket://host:0", "socket://host:65536", "socket://host:", "socket://host?x",
                            "ipp://[fe80::1%25eth0]/", "ipp://[v1.fe80::1+eth0]/", "socket://[::1", "socket:/host",
                            "1socket://host", "socket://", "socket:///x", "socket://ho st", "socket://h\xc3\xa9",
                            "file://F__", "File://host/x"})
        EXPECT_FALSE(platform::separatePlainUri(uri)) << uri;
}
