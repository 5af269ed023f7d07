// Status decoding from the device-ID text, and the base64 codec.
#include "snmp/TesselCmd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> sampleBlock()
{
    std::vector<unsigned char> b(108);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<unsigned char>(i * 37 + 11);
    b[0] = 0x80 | 64; // bit 7 travels with the level byte
    return b;
}

std::string encode(const std::vector<unsigned char>& bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    EXPECT_EQ(base64_encode(bytes.data(), bytes.size(), out.data(), out.size()), 1);
    out.resize(std::strlen(out.c_str()));
    return out;
}

int decodeText(const std::string& text, PRINTER_STATUS& st)
{
    std::memset(&st, 0, sizeof st);
    return DecodStatusFromDeviceID(text.c_str(), &st);
}

TEST(Base64, EncodesRfc4648VectorsAndRespectsCapacity)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto [plain, coded] : vectors) {
        char out[16];
        auto len = std::strlen(plain);
        ASSERT_EQ(base64_encode(reinterpret_cast<const unsigned char*>(plain), len, out, sizeof out), 1);
        EXPECT_STREQ(out, coded);
        unsigned char back[16];
        EXPECT_EQ(base64_decode(coded, back, sizeof back), static_cast<int>(len));
        EXPECT_EQ(std::memcmp(back, plain, len), 0);
    }
    // Exactly 4*ceil(n/3)+1 fits, one less is refused without writing.
    const unsigned char five[5] = {1, 2, 3, 4, 5};
    char out[9];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(base64_encode(five, 5, out, 8), 0);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(base64_encode(five, 5, out, 9), 1);
    EXPECT_EQ(base64_encode(five, 5, out, 0), 0);
}

TEST(Base64, DecoderGroupsPadsAndCapacity)
{
    unsigned char out[8] = {};
    // Characters outside the alphabet are skipped.
    EXPECT_EQ(base64_decode("Zm\r\n9 v;", out, sizeof out), 3);
    EXPECT_EQ(std::memcmp(out, "foo", 3), 0);
    // Decoding stops at the first group holding a pad.
    EXPECT_EQ(base64_decode("Zg==Zm9v", out, sizeof out), 1);
    // A malformed group ends the decode with what was decoded before it.
    EXPECT_EQ(base64_decode("Zm9vAB=C", out, sizeof out), 3);
    EXPECT_EQ(base64_decode("Zm9v=A==", out, sizeof out), 3);
    // One letter and three pads give no byte.
    EXPECT_EQ(base64_decode("Zm9vA", out, sizeof out), 3);
    // A group that does not fit the remaining capacity: -1, earlier bytes written.
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(base64_decode("Zm9vYmFy", out, 4), -1);
    EXPECT_EQ(std::memcmp(out, "foo", 3), 0);
    EXPECT_EQ(base64_decode(nullptr, out, 4), -1);
    EXPECT_EQ(base64_decode("Zm9v", nullptr, 4), -1);
    EXPECT_EQ(base64_decode("", out, 0), 0);
}

TEST(DeviceIdDecoder, DecodesTheStatusFieldAsThePrinterSendsIt)
{
    auto block = sampleBlock();
    auto field = encode(block);
    ASSERT_EQ(field.size(), 144u);
    PRINTER_STATUS st;
    ASSERT_EQ(decodeText("MFG:X;CMD:PCL;STS:" + field, st), 0);
    EXPECT_EQ(std::memcmp(st.bytes, block.data(), 108), 0);
    EXPECT_EQ(st.bytes[0] & 0x7F, 64);

    CTesselCmd cmd;
    std::memset(&st, 0, sizeof st);
    EXPECT_EQ(cmd.DecodStatusFromDeviceID(("STS:" + field + ";").c_str(), &st), 0);
    EXPECT_EQ(std::memcmp(st.bytes, block.data(), 108), 0);
}

TEST(DeviceIdDecoder, ReadsOnOverTheSemicolon)
{
    auto field = encode(sampleBlock());
    PRINTER_STATUS st;
    EXPECT_EQ(decodeText("STS:" + field + ";  ;:\r\n", st), 0);  // only non-alphabet after it
    EXPECT_EQ(decodeText("STS:" + field + ";X", st), 0);         // one letter: a group of no bytes
    EXPECT_EQ(decodeText("STS:" + field + ";MDL:Z", st), -1);    // 37th full group overflows
    EXPECT_EQ(decodeText("STS:" + field + ";AB", st), -1);       // 37th group with one byte
    // Broken over several lines, the field decodes as one.
    std::string broken = "STS:" + field.substr(0, 60) + "\r\n " + field.substr(60);
    EXPECT_EQ(decodeText(broken, st), 0);
}

TEST(DeviceIdDecoder, RefusesWhatIsNotOneWholeBlock)
{
    auto block = sampleBlock();
    auto field = encode(block);
    PRINTER_STATUS st;
    EXPECT_EQ(decodeText("sts:" + field, st), -1);                 // marker is case-sensitive
    EXPECT_EQ(decodeText("MFG:X;CMD:PCL;", st), -1);               // no marker
    EXPECT_EQ(decodeText("", st), -1);
    EXPECT_EQ(decodeText("STS", st), -1);
    EXPECT_EQ(decodeText("STS:" + field.substr(0, 140) + "QU==", st), -1); // 106 bytes
    EXPECT_EQ(decodeText("STS:" + field.substr(0, 141), st), -1);
    // Only the first marker counts.
    EXPECT_EQ(decodeText("STS:QUJD;STS:" + field, st), -1);
    EXPECT_EQ(DecodStatusFromDeviceID(nullptr, &st), -1);
    EXPECT_EQ(DecodStatusFromDeviceID("STS:", nullptr), -1);
}

} // namespace
