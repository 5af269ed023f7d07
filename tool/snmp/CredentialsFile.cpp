// The parser of the site's SNMPv3 credentials file (CredentialsFile.h).
#include "snmp/CredentialsFile.h"

#include <cstring>
#include <string_view>

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view skipBlanks(std::string_view s)
{
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimBlanks(std::string_view s)
{
    s = skipBlanks(s);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool nameCharacters(std::string_view s)
{
    for (const char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
              || c == '.'))
            return false;
    return true;
}

bool hasControl(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

struct Pending {
    SnmpV3Credentials set;
    int line = 0;
    bool user = false, auth = false, priv = false;
};

// The key the set lacks, or null.
const char* missing(const Pending& p)
{
    return !p.user ? "user" : !p.auth ? "auth-passphrase" : !p.priv ? "priv-passphrase" : nullptr;
}

} // namespace

void WipeSnmpV3Credentials(SnmpV3Credentials& set)
{
    for (std::string* s : {&set.name, &set.user, &set.authPass, &set.privPass}) {
        explicit_bzero(s->data(), s->capacity()); // a short text's bytes stay in its buffer
        s->clear();
    }
}

bool ParseSnmpV3CredentialsText(const std::string& text, std::vector<SnmpV3Credentials>& sets, std::string& error)
{
    sets.clear();
    // Reserved once, so that no set is copied and left behind in freed memory.
    sets.reserve(kCredentialsMaxSets);
    Pending current;
    const auto fail = [&](int line, const std::string& why) {
        error = "line " + std::to_string(line) + ": " + why;
        for (SnmpV3Credentials& s : sets)
            WipeSnmpV3Credentials(s);
        WipeSnmpV3Credentials(current.set);
        sets.clear();
        return false;
    };
    if (text.size() > kCredentialsFileMaxBytes) {
        error = "larger than " + std::to_string(kCredentialsFileMaxBytes) + " bytes";
        return false;
    }
    bool inSet = false;
    int number = 0;
    const std::string_view all(text);
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = skipBlanks(line);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string_view::npos || !trimBlanks(line.substr(close + 1)).empty())
                return fail(number, "a set's name is written [name]");
            const std::string_view name = line.substr(1, close - 1);
            if (name.empty() || name.size() > kCredentialsNameMax || !nameCharacters(name))
                return fail(number, "a set's name is 1 to " + std::to_string(kCredentialsNameMax)
                                        + " letters, digits, '-', '_' or '.'");
            for (const SnmpV3Credentials& s : sets)
                if (s.name == name)
                    return fail(number, "a second set [" + std::string(name) + "]");
            if (inSet) {
                if (current.set.name == name)
                    return fail(number, "a second set [" + std::string(name) + "]");
                if (const char* lacks = missing(current))
                    return fail(current.line, "set [" + current.set.name + "] lacks " + lacks);
                sets.push_back(current.set);
                WipeSnmpV3Credentials(current.set);
            }
            if (sets.size() >= kCredentialsMaxSets)
                return fail(number, "more than " + std::to_string(kCredentialsMaxSets) + " sets");
            current = Pending{};
            current.set.name = std::string(name);
            current.line = number;
            inSet = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail(number, "neither a comment, a [set] nor a key = value line");
        const std::string_view key = trimBlanks(line.substr(0, eq));
        const std::string_view value = skipBlanks(line.substr(eq + 1));
        bool* seen = nullptr;
        std::string* into = nullptr;
        size_t min = 8, max = 64;
        if (key == "user") {
            seen = &current.user;
            into = &current.set.user;
            min = 1;
            max = 32;
        } else if (key == "auth-passphrase") {
            seen = &current.auth;
            into = &current.set.authPass;
        } else if (key == "priv-passphrase") {
            seen = &current.priv;
            into = &current.set.privPass;
        } else {
            // The key is named only when it looks like one: a line written
            // wrongly may hold a pass phrase.
            const bool plain = key.size() <= 32 && !key.empty() && nameCharacters(key);
            return fail(number, (plain ? "unknown key \"" + std::string(key) + "\"" : std::string("unknown key"))
                                    + " (the keys are user, auth-passphrase and priv-passphrase)");
        }
        if (!inSet)
            return fail(number, std::string(key) + " before the first [set]");
        if (*seen)
            return fail(number, "a second " + std::string(key) + " in set [" + current.set.name + "]");
        if (value.size() < min || value.size() > max)
            return fail(number, std::string(key) + " must be " + std::to_string(min) + " to " + std::to_string(max)
                                    + " bytes long, not " + std::to_string(value.size()));
        if (hasControl(value))
            return fail(number, std::string(key) + " holds a control character");
        into->assign(value.data(), value.size());
        *seen = true;
    }
    if (inSet) {
        if (const char* lacks = missing(current))
            return fail(current.line, "set [" + current.set.name + "] lacks " + lacks);
        sets.push_back(current.set);
    }
    WipeSnmpV3Credentials(current.set);
    return true;
}
