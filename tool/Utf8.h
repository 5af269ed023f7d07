// Text from printers made fit for output: whatever bytes a printer sends,
// what we print is valid UTF-8.
#pragma once

#include <string>

// The bytes as UTF-8: well-formed sequences stay (no overlong forms, no
// surrogates, nothing past U+10FFFF); every other byte becomes the character
// of the same number, as Latin-1 reads it (0xE9 becomes "é").
inline std::string ValidUtf8(const std::string& bytes)
{
    std::string out;
    auto latin1 = [&](unsigned char c) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    };
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // Well-formed sequences only (Unicode's table 3-7): no overlong
        // forms, no surrogates, nothing past U+10FFFF.
        size_t n = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        }
        bool whole = n != 0 && i + n <= bytes.size();
        for (size_t k = 1; whole && k < n; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            whole = k == 1 ? (b >= lo && b <= hi) : (b & 0xC0) == 0x80;
        }
        if (whole) {
            out.append(bytes, i, n);
            i += n;
        } else {
            latin1(c);
            ++i;
        }
    }
    return out;
}
