// check_levelwatch's ranges and verdicts.
#include "Check.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(Check, RangesOfTheMonitoringPluginsSyntax)
{
    struct Case {
        const char* text;
        std::vector<double> alert, quiet;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : std::vector<Case>{{"20:", {19, 0, -1}, {20, 100, inf}},
                                           {"10", {-1, 11}, {0, 10}},
                                           {"~:10", {11}, {-inf, -5, 10}},
                                           {"10:20", {9, 21}, {10, 15, 20}},
                                           {"@10:20", {10, 15, 20}, {9, 21}},
                                           {"-5:2.5", {-6, 3}, {-5, 0, 2.5}},
                                           {"@~:5", {0, 5}, {6}}}) {
        const auto r = check::ParseRange(c.text);
        ASSERT_TRUE(r) << c.text;
        EXPECT_EQ(r->text, c.text);
        for (double v : c.alert)
            EXPECT_TRUE(check::Alerts(*r, v)) << c.text << " " << v;
        for (double v : c.quiet)
            EXPECT_FALSE(check::Alerts(*r, v)) << c.text << " " << v;
    }
    for (const char* bad : {"", "@", ":", "20:10", "a", "1:b", "~", "5%", " 5", "inf", "nan:", "1e999"})
        EXPECT_FALSE(check::ParseRange(bad)) << bad;
}

TEST(Check, VerdictLineAndPerformanceData)
{
    const auto w = *check::ParseRange("20:"), c = *check::ParseRange("5:");
    const int ok[4] = {55, 100, 20, 80}, warning[4] = {55, 19, 100, 80}, critical[4] = {4, 19, 100, -2},
              unknown[4] = {55, 100, 127, 80};
    check::Verdict v = check::TonerVerdict(ok, w, c);
    EXPECT_EQ(v.state, check::kOk);
    EXPECT_EQ(v.line, "TONER OK - black 55%, cyan 100%, magenta 20%, yellow 80% | 'black'=55%;20:;5:;0;100 "
                      "'cyan'=100%;20:;5:;0;100 'magenta'=20%;20:;5:;0;100 'yellow'=80%;20:;5:;0;100");
    EXPECT_EQ(check::TonerVerdict(warning, w, c).state, check::kWarning);
    // A toner at its critical threshold outweighs an unknown level.
    v = check::TonerVerdict(critical, w, c);
    EXPECT_EQ(v.state, check::kCritical);
    EXPECT_EQ(v.line.substr(0, v.line.find(" |")), "TONER CRITICAL - black 4%, cyan 19%, magenta 100%, yellow unknown");
    v = check::TonerVerdict(unknown, w, c);
    EXPECT_EQ(v.state, check::kUnknown);
    EXPECT_NE(v.line.find("magenta unknown"), std::string::npos);
    EXPECT_NE(v.line.find("'magenta'=U;20:;5:;0;100"), std::string::npos);
    EXPECT_EQ(check::UnknownLine("a\nb|c"), "TONER UNKNOWN - a b/c");
}

} // namespace
