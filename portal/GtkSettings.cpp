#include "GtkSettings.h"

#include <charconv>
#include <cstdio>

namespace printpanels::portal {
namespace {

bool number(const std::string& text, int* out, int low, int high)
{
    int v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || v < low || v > high)
        return false;
    *out = v;
    return true;
}

const std::string* find(const KeyValues& map, const char* key)
{
    const auto it = map.find(key);
    return it == map.end() || it->second.size() > kMaxSettingValue ? nullptr : &it->second;
}

int flag(const KeyValues& map, const char* key)
{
    const std::string* v = find(map, key);
    if (!v)
        return -1;
    return *v == "true" ? 1 : *v == "false" ? 0 : -1;
}

int orientationOf(const std::string& name)
{
    if (name == "portrait")
        return 3;
    if (name == "landscape")
        return 4;
    if (name == "reverse_landscape")
        return 5;
    if (name == "reverse_portrait")
        return 6;
    return 0;
}

// GTK's ranges are 0-based, "0-2,4"; the dialog's 1-based, "1-3,5".
std::string rangesFromGtk(const std::string& text)
{
    std::string out;
    int count = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        std::string part = text.substr(at, comma - at);
        at = comma + 1;
        if (part.empty())
            continue;
        if (++count > kMaxPageRanges)
            return {};
        const size_t dash = part.find('-');
        int first = 0, last = 0;
        if (!number(part.substr(0, dash), &first, 0, 999999))
            return {};
        last = first;
        if (dash != std::string::npos && !number(part.substr(dash + 1), &last, first, 999999))
            return {};
        if (!out.empty())
            out += ',';
        out += std::to_string(first + 1);
        if (last != first)
            out += '-' + std::to_string(last + 1);
    }
    return out;
}

std::string rangesToGtk(const std::string& text)
{
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string part = text.substr(at, comma - at);
        at = comma + 1;
        const size_t dash = part.find('-');
        int first = 0, last = 0;
        if (!number(part.substr(0, dash), &first, 1, 999999))
            continue;
        last = first;
        if (dash != std::string::npos && !number(part.substr(dash + 1), &last, first, 999999))
            continue;
        if (!out.empty())
            out += ',';
        out += std::to_string(first - 1);
        if (last != first)
            out += '-' + std::to_string(last - 1);
    }
    return out;
}

std::string mm(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

} // namespace

InitialSettings readInitial(const KeyValues& settings, const KeyValues& pageSetup)
{
    InitialSettings in;
    if (const std::string* v = find(settings, "printer"))
        in.printer = *v;
    if (const std::string* v = find(settings, "n-copies"))
        number(*v, &in.copies, 1, kMaxCopies);
    in.collate = flag(settings, "collate");
    in.reverse = flag(settings, "reverse");
    if (const std::string* v = find(settings, "page-set"); v && (*v == "all" || *v == "odd" || *v == "even"))
        in.pageSet = *v;
    const std::string* pages = find(settings, "print-pages");
    if (const std::string* v = find(settings, "page-ranges"); v && pages && *pages == "ranges")
        in.ranges = rangesFromGtk(*v);
    if (const std::string* v = find(pageSetup, "Orientation"))
        in.orientation = orientationOf(*v);
    if (const std::string* v = find(settings, "orientation"); v && !in.orientation)
        in.orientation = orientationOf(*v);
    if (const std::string* v = find(settings, "number-up")) {
        int n = 0;
        if (number(*v, &n, 1, 16) && (n == 1 || n == 2 || n == 4 || n == 6 || n == 9 || n == 16))
            in.numberUp = n;
    }
    if (const std::string* v = find(pageSetup, "PPDName"))
        in.paper = *v;
    else if (const std::string* s = find(settings, "ppd-name"))
        in.paper = *s;
    return in;
}

KeyValues settingsFor(const Chosen& c)
{
    static const char* const orientations[] = {"portrait", "landscape", "reverse_landscape", "reverse_portrait"};
    KeyValues out;
    out["printer"] = c.printer;
    out["n-copies"] = std::to_string(c.copies);
    out["collate"] = c.collate ? "true" : "false";
    out["reverse"] = c.reverse ? "true" : "false";
    out["page-set"] = c.pageSet;
    const std::string ranges = rangesToGtk(c.ranges);
    out["print-pages"] = ranges.empty() ? "all" : "ranges";
    if (!ranges.empty())
        out["page-ranges"] = ranges;
    out["number-up"] = std::to_string(c.numberUp);
    out["scale"] = std::to_string(c.scale);
    out["orientation"] = orientations[c.orientation >= 3 && c.orientation <= 6 ? c.orientation - 3 : 0];
    if (!c.paper.empty())
        out["ppd-name"] = c.paper;
    return out;
}

std::vector<std::pair<std::string, std::string>> pageSetupText(const Chosen& c)
{
    static const char* const orientations[] = {"portrait", "landscape", "reverse_landscape", "reverse_portrait"};
    return {{"PPDName", c.paper},
            {"DisplayName", c.paperText.empty() ? c.paper : c.paperText},
            {"Width", mm(c.widthMm)},
            {"Height", mm(c.heightMm)},
            {"MarginTop", mm(c.marginMm[0])},
            {"MarginBottom", mm(c.marginMm[1])},
            {"MarginLeft", mm(c.marginMm[2])},
            {"MarginRight", mm(c.marginMm[3])},
            {"Orientation", orientations[c.orientation >= 3 && c.orientation <= 6 ? c.orientation - 3 : 0]}};
}

} // namespace printpanels::portal
