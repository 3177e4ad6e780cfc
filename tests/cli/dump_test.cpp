// tokenweave dump: the index of a project as JSON, exactly as tools and
// people downstream read it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using json = nlohmann::ordered_json;

std::string Quoted(const std::string &text) {
    return tw_test::quoted_argument(text);
}

// Runs the command with arguments; *out receives its standard output.
int RunDump(const std::string &arguments, std::string *out) {
    // A home of its own: no learned weights of the real home are read.
    tw_test::TempDir home;
    return tw_test::run_command_in(
        {{"HOME", home.path()}, {"XDG_DATA_HOME", ""}},
        std::string(TOKENWEAVE_CLI_PATH) + " dump " + arguments + " 2>" + tw_test::NULL_DEVICE,
        out);
}

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// A JSON text as the bytes it stands for: every code point below 0x100 is
// one byte, as the dump writes them.
std::string AsBytes(const std::string &utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
        } else {
            bytes += static_cast<char>(c);
        }
    }
    return bytes;
}

const char EXPECTED_DUMP[] = R"({
  "files": [
    {
      "index": 0,
      "key": "caf\u00e9",
      "path": "@DIR@/a.c",
      "line_count": 2
    }
  ],
  "tokens": [
    {
      "value": "12",
      "value_class": 0,
      "length": 2,
      "total_count": 2,
      "literal_count": 1,
      "grid_count": 1,
      "input_count": 1,
      "output_count": 1,
      "occurrences": [
        {
          "direction": 0,
          "line": 1,
          "file": "a.c",
          "call_code": 1,
          "cell": null,
          "grid_repeat": 0
        },
        {
          "direction": 1,
          "line": 1,
          "file": "a.c",
          "call_code": 5,
          "cell": {
            "grid": 1,
            "row": 1,
            "column": 1
          },
          "grid_repeat": 0
        }
      ]
    }
  ],
  "locations": [
    {
      "key": "a.c:1",
      "chain": [
        {
          "value": "12",
          "file": "a.c",
          "line": 1
        }
      ]
    }
  ],
  "statements": [
    {
      "handle": "C",
      "file": "a.c",
      "line": 1
    }
  ]
}
)";

TEST(DumpCommandTest, WritesTheWholeIndexInItsFixedShape) {
    tw_test::TempDir dir;
    dir.write("a.c", "{ sqx_stmt(C, \"select 12 from t\"); GRID(1); sqx_exec(C); }\n");
    dir.write("s.rdf", "[grid 1]\nX,Y\n,12\n");
    dir.write("s.grd", "");
    dir.write("p.prj", "[Actions]\ncaf\xe9=a.c\n");
    std::string out;
    ASSERT_EQ(RunDump(Quoted(dir.file("p.prj")), &out), 0);
    // The path as a JSON string: Windows paths hold backslashes.
    EXPECT_EQ(out, Replace(EXPECTED_DUMP, "@DIR@", Replace(dir.path(), "\\", "\\\\")));
}

TEST(DumpCommandTest, TokensInByteOrderAndEveryByteComesBack) {
    tw_test::TempDir dir;
    dir.write("a.c", "{ sqx_stmt(C, \"select 'a', 'B', '\xe9', 'Z', '_', '\x81\\', 'ab'\"); }\n");
    dir.write("p.prj", "[Actions]\nfirst=a.c\n");
    std::string out;
    ASSERT_EQ(RunDump(Quoted(dir.file("p.prj")), &out), 0);
    for (unsigned char c : out) {
        ASSERT_LT(c, 0x80) << "the dump is ASCII";
    }
    json dump = json::parse(out);
    std::vector<std::string> values;
    for (const json &token : dump["tokens"]) {
        values.push_back(AsBytes(token["value"].get<std::string>()));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"B", "Z", "_", "a", "ab", "\x81\\", "\xe9"}));
}

TEST(DumpCommandTest, MissingProjectIsOneLineOnStandardErrorAndStatusOne) {
    tw_test::TempDir dir;
    std::string project = dir.file("none.prj");
    std::string err;
    int status = tw_test::run_command(std::string(TOKENWEAVE_CLI_PATH) + " dump " +
                                          Quoted(project) + " 2>&1 >" + tw_test::NULL_DEVICE,
                                      &err);
    EXPECT_EQ(status, 1);
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(err.rfind("tokenweave: ", 0), 0u) << err;
    EXPECT_NE(err.find(project), std::string::npos) << err;
}

TEST(DumpCommandTest, BundledExampleDumps) {
    std::string out;
    ASSERT_EQ(
        RunDump(Quoted(std::string(TOKENWEAVE_SOURCE_DIR) + "/examples/orders/orders.prj"), &out),
        0);
    json dump = json::parse(out);
    ASSERT_EQ(dump["files"].size(), 3u);
    EXPECT_EQ(dump["files"][2]["key"], "add_lines");
    EXPECT_FALSE(dump["locations"].empty());
    // The user id the first grid returned is sent again by later statements.
    bool returned = false, sent = false;
    for (const json &token : dump["tokens"]) {
        if (token["value"] == "10473") {
            returned = token["output_count"] > 0;
            sent = token["input_count"] > 0;
        }
    }
    EXPECT_TRUE(returned);
    EXPECT_TRUE(sent);
}

}  // namespace
