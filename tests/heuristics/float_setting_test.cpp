// Reading and writing decimal settings: default text, parsing, cut values,
// malformed and binary text, write failures.

#include "heuristics/float_setting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "pair_records.h"
#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::FloatBits;
using tw_test::TempDir;

const float DEFAULT_VALUE = 3.0f;

// The setting read from a file whose [S] section holds value_line as is.
float ReadFrom(const TempDir &dir, const std::string &valueLine, float defaultValue) {
    std::string path = dir.write("settings.ini", "[S]\n" + valueLine + "\n");
    return ReadFloatSetting("S", "k", defaultValue, path.c_str());
}

struct ParseCase {
    const char *line;
    float expected;
};

TEST(ReadFloatSettingTest, ParsesTheLeadingNumber) {
    const ParseCase cases[] = {
        {"k=2.5", 2.5f},       {"k=0.08", 0.08f},    {"k=  7.25", 7.25f},
        {"k=\f\v7.25", 7.25f}, {"k=-1.5", -1.5f},    {"k=+4", 4.0f},
        {"k=.5", 0.5f},        {"k=5.", 5.0f},       {"k=1e3", 1000.0f},
        {"k=2.5E-1", 0.25f},   {"k=3.75xyz", 3.75f}, {"k=12 ; not a comment here", 12.0f},
        {"k=0012", 12.0f},     {"k=1e-50", 0.0f},    {"k=\"6.5\"", 6.5f},
        {"K=9", 9.0f},         {"k=0x10", 16.0f},    {"k=0X1P-2", 0.25f},
        {"k=-0x.8", -0.5f},    {"k=0x1p", 1.0f},     {"k=0x", 0.0f},
        {"k=0xg", 0.0f},       {"k= \t12kg", 12.0f},
    };
    for (const ParseCase &c : cases) {
        TempDir dir;
        EXPECT_EQ(FloatBits(ReadFrom(dir, c.line, DEFAULT_VALUE)), FloatBits(c.expected)) << c.line;
    }
}

TEST(ReadFloatSettingTest, TextThatIsNoNumberGivesTheDefault) {
    const char *lines[] = {
        "k=",
        "k=abc",
        "k=-",
        "k=+",
        "k=+-1",
        "k=.",
        "k=e5",
        "k=,5",
        "k=x12",
        "k=\x01\x02\x7f",
        "k=\xff\xfe"
        "1",
    };
    for (const char *line : lines) {
        TempDir dir;
        EXPECT_EQ(ReadFrom(dir, line, DEFAULT_VALUE), DEFAULT_VALUE) << line;
    }
}

TEST(ReadFloatSettingTest, HugeNumberGivesInfinity) {
    TempDir dir;
    EXPECT_EQ(ReadFrom(dir, "k=1e50", DEFAULT_VALUE), HUGE_VALF);
    EXPECT_EQ(ReadFrom(dir, "k=-1e50", DEFAULT_VALUE), -HUGE_VALF);
    EXPECT_EQ(ReadFrom(dir, "k=0x1p200", DEFAULT_VALUE), HUGE_VALF);
    EXPECT_EQ(ReadFrom(dir, "k=-0x1p-200", DEFAULT_VALUE), 0.0f);
}

TEST(ReadFloatSettingTest, InfinityAndNanAreNumbers) {
    TempDir dir;
    EXPECT_EQ(ReadFrom(dir, "k=inf", DEFAULT_VALUE), HUGE_VALF);
    EXPECT_EQ(ReadFrom(dir, "k=-Infinity", DEFAULT_VALUE), -HUGE_VALF);
    EXPECT_EQ(ReadFrom(dir, "k=+INFx", DEFAULT_VALUE), HUGE_VALF);
    EXPECT_TRUE(std::isnan(ReadFrom(dir, "k=nan", DEFAULT_VALUE)));
    EXPECT_TRUE(std::isnan(ReadFrom(dir, "k= NaN(1)", DEFAULT_VALUE)));
    EXPECT_EQ(ReadFrom(dir, "k=in", DEFAULT_VALUE), DEFAULT_VALUE);
}

TEST(ReadFloatSettingTest, MissingSettingGivesTheDefaultThroughItsText) {
    TempDir dir;
    std::string path = dir.write("settings.ini", "[S]\nother=1\n");
    EXPECT_EQ(FloatBits(ReadFloatSetting("S", "k", 0.08f, path.c_str())), FloatBits(0.08f));
    EXPECT_EQ(ReadFloatSetting("T", "k", 250.0f, path.c_str()), 250.0f);
    EXPECT_EQ(ReadFloatSetting("S", "k", -1.0f, dir.file("absent.ini").c_str()), -1.0f);
    // The default passes through its "%f" text: six decimals.
    EXPECT_EQ(FloatBits(ReadFloatSetting("S", "k", 1.23456789f, path.c_str())),
              FloatBits(1.234568f));
    EXPECT_EQ(ReadFloatSetting("S", "k", 0.0000004f, path.c_str()), 0.0f);
}

TEST(ReadFloatSettingTest, NullOrEmptyPathGivesTheDefault) {
    EXPECT_EQ(ReadFloatSetting("S", "k", 1.5f, nullptr), 1.5f);
    EXPECT_EQ(ReadFloatSetting("S", "k", 1.5f, ""), 1.5f);
}

TEST(ReadFloatSettingTest, ValueLongerThanTheBufferIsCut) {
    TempDir dir;
    // Only the first 255 characters are read: all of them zeros.
    std::string zeros(FLOAT_SETTING_BUFFER_SIZE - 1, '0');
    EXPECT_EQ(ReadFrom(dir, "k=" + zeros + "7", DEFAULT_VALUE), 0.0f);
    EXPECT_EQ(ReadFrom(dir, "k=" + zeros.substr(1) + "7", DEFAULT_VALUE), 7.0f);
    EXPECT_EQ(ReadFrom(dir, "k=1.5" + std::string(5000, '9'), DEFAULT_VALUE), 1.6f);
}

TEST(ReadFloatSettingTest, MalformedFileGivesTheDefault) {
    const std::string contents[] = {
        "",
        "[S",
        "[S]\nk",
        "k=5\n",
        std::string("\0\0\0[S]\0k=5", 10),
        std::string("\x89PNG\r\n\x1a\n\0\0", 10),
    };
    for (const std::string &text : contents) {
        TempDir dir;
        std::string path = dir.write("settings.ini", text);
        EXPECT_EQ(ReadFloatSetting("S", "k", DEFAULT_VALUE, path.c_str()), DEFAULT_VALUE) << text;
    }
}

struct WriteCase {
    float value;
    const char *text;
};

TEST(WriteFloatSettingTest, WritesThreeDecimals) {
    const WriteCase cases[] = {
        {0.08f, "0.080"},         {5.0f, "5.000"},
        {0.0799999f, "0.080"},    {0.0004999f, "0.000"},
        {1234.5678f, "1234.568"}, {-2.25f, "-2.250"},
        {0.0f, "0.000"},          {1e20f, "100000002004087734272.000"},
    };
    TempDir dir;
    std::string path = dir.file("settings.ini");
    char text[FLOAT_SETTING_BUFFER_SIZE];
    for (const WriteCase &c : cases) {
        ASSERT_EQ(WriteFloatSetting("S", "k", c.value, path.c_str()), 0);
        GetPrivateProfileStringA("S", "k", "", text, sizeof text, path.c_str());
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(WriteFloatSettingTest, ReportsFailure) {
    TempDir dir;
    EXPECT_EQ(WriteFloatSetting("S", "k", 1.0f, dir.file("missing/settings.ini").c_str()), -1);
    EXPECT_EQ(WriteFloatSetting("S", "k", 1.0f, ""), -1);
    EXPECT_EQ(WriteFloatSetting("S", "k", 1.0f, nullptr), -1);
    EXPECT_FALSE(tw_test::file_exists(dir.file("missing")));
}

}  // namespace
