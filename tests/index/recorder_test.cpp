// What the recorder files: input occurrences, handle chains, statement
// sites and the location keys under which executed statements' inputs are
// published, in both database families.

#include "index/recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "containers/list.h"
#include "index/analyser_access.h"
#include "index_dump.h"
#include "model/keyword_table.h"

namespace {

using tw_test::DumpIndex;
using tw_test::DumpOccurrences;
using tw_test::TestProject;

typedef std::vector<std::pair<std::string, std::string>> ActionFiles;

struct RecorderCase {
    const char *name;
    const char *database;
    ActionFiles files;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const RecorderCase &c) {
    return out << c.name;
}

class RecorderTest : public ::testing::TestWithParam<RecorderCase> {};

TEST_P(RecorderTest, FilesExactlyTheExpectedIndex) {
    TestProject project;
    for (const auto &[name, text] : GetParam().files) {
        project.add_action(name, text);
    }
    tw_test::BuildOptions options;
    options.database = GetParam().database;
    ASSERT_EQ(project.build_index(options), 0);
    EXPECT_EQ(DumpIndex(project.index()), GetParam().expected);
}

const std::string TWO_STATEMENTS_ON_ONE_HANDLE =
    "{\nsqx_stmt(C, \"select 1 from t\");\nsqx_stmt(C, \"select 2 from t\");\n}\n";

const std::string WORKED_EXAMPLE =
    "#include \"sqx.h\"\n"
    "\n"
    "/* The session's first statement. */\n"
    "Action1()\n"
    "{\n"
    "    int rc;\n"
    "\n\n\n"
    "    sqx_stmt(Csr1, \"select a from t where b = 'x' and c = 12\", -1, 1, 0, 0);\n"
    "\n"
    "    sqx_exec(Csr1, 0, 0);\n"
    "    return 0;\n"
    "}\n";

const std::string WORKED_EXAMPLE_INDEX =
    "12 in Action1.c:10 1\n"
    "x in Action1.c:10 1\n"
    "-- locations\n"
    "Action1.c:10: 12@10 x@10\n"
    "Action1.c:12: 12@10 x@10\n"
    "-- statements\n"
    "Csr1 Action1.c:10\n";

const std::string H40(40, 'h');
const std::string H300(300, 'k');
const std::string H255(255, 'k');
const std::string H31(31, 'h');
const std::string LONG_NAME = std::string(198, 'f') + ".c";

const RecorderCase RECORDER_CASES[] = {
    {"SameValueTwiceFromOneLineIsRecordedOnce",
     "oracle",
     {{"a.c", "{ sqx_assign(C, \"7\"); sqx_assign(D, \"7\");\nsqx_assign(C, \"7\"); }"}},
     "7 in a.c:1 2\n7 in a.c:2 2\n-- pending\nC: 7@2 7@1\n"},
    {"SameLineNumberInTheNextFileIsRecordedAgain",
     "oracle",
     {{"a.c", "{\nsqx_assign(C, \"7\");\n"}, {"b.c", "\nsqx_assign(C, \"7\"); }\n"}},
     "7 in a.c:2 2\n7 in b.c:2 2\n-- pending\nC: 7@2 7@a.c:2\n"},
    {"CmxArgumentsYieldThePiecesBetweenBackslashQuotes",
     "oracle",
     {{"a.c",
       "{ cmx_send(C, \"a \\'x\\' b \\'y\\' c \\'z\");\ncmx_log(C, \"plain\", \"\\'\\'\"); }"}},
     "plain in a.c:2 15\nx in a.c:1 15\ny in a.c:1 15\n-- pending\nC: plain@2 y@1 x@1\n"},
    {"OracleSecondStatementReplacesTheSiteWithoutPublishing",
     "oracle",
     {{"a.c", TWO_STATEMENTS_ON_ONE_HANDLE}},
     "1 in a.c:2 1\n2 in a.c:3 1\n-- statements\nC a.c:3\n-- pending\nC: 2@3 1@2\n"},
    {"OdbcSecondStatementPublishesTheFirstUnderItsLine",
     "odbc",
     {{"a.c", TWO_STATEMENTS_ON_ONE_HANDLE}},
     "1 in a.c:2 1\n2 in a.c:3 1\n"
     "-- locations\na.c:2: 1@2\na.c:3: 2@3\n"
     "-- statements\nC a.c:3\n-- pending\nC: 2@3\n"},
    {"WorkedExampleOracle", "oracle", {{"Action1.c", WORKED_EXAMPLE}}, WORKED_EXAMPLE_INDEX},
    {"WorkedExampleOdbc", "odbc", {{"Action1.c", WORKED_EXAMPLE}}, WORKED_EXAMPLE_INDEX},
    // The site's key, once added, keeps the chain of the first execution.
    {"EachExecutePublishesOnlyNewInputs",
     "oracle",
     {{"a.c",
       "{\nsqx_stmt(C, \"select 1 from t\");\nsqx_exec(C);\nsqx_exec(C);\n"
       "sqx_assign(C, \"v\");\nsqx_exec(C);\n}\n"}},
     "1 in a.c:2 1\nv in a.c:5 2\n"
     "-- locations\na.c:2: 1@2\na.c:3: 1@2\na.c:6: v@5\n"
     "-- statements\nC a.c:2\n"},
    {"EachHandleOfAnExecutePublishesItsOwnChain",
     "oracle",
     {{"a.c",
       "{\nsqx_stmt(x, \"select 1 from t\");\nsqx_stmt(y, \"select 2 from t\");\n"
       "sqx_exec(x.y);\n}\n"}},
     "1 in a.c:2 1\n2 in a.c:3 1\n"
     "-- locations\na.c:2: 1@2\na.c:3: 2@3\na.c:4: 1@2\n"
     "-- statements\nx a.c:2\ny a.c:3\n"},
    {"PairingMergesOnlyOnOneLineAndNeverWithItself",
     "oracle",
     {{"a.c",
       "{\nsqx_assign(A, \"1\");\nsqx_assign(B, \"2\");\nsqx_bind_placeholder(A, \":1\", B);\n"
       "sqx_assign(D, \"3\");\nsqx_bind_placeholder(A, \":1\",\n    D);\n"
       "sqx_bind_placeholder(A, \":1\", A);\n}\n"}},
     "1 in a.c:2 2\n2 in a.c:3 2\n3 in a.c:5 2\n-- pending\nA: 2@3 1@2\nD: 3@5\n"},
    // The pending handle holds 31 characters, so the merged chain lands
    // under the cut name.
    {"LongHandleInPairingIsCut",
     "oracle",
     {{"a.c", "{\nsqx_assign(" + H40 + ", \"1\");\nsqx_assign(B, \"2\");\nsqx_bind_placeholder(" +
                  H40 + ", \":1\", B);\n}\n"}},
     "1 in a.c:2 2\n2 in a.c:3 2\n-- pending\n" + H31 + ": 2@3\n" + H40 + ": 1@2\n"},
    // The scanner keeps 255 characters of a handle; the statement site is
    // filed under the same cut name as its inputs, so the execute finds it.
    {"StatementOfAnOverlongHandleIsPublished",
     "oracle",
     {{"a.c", "{\nsqx_stmt(" + H300 + ", \"select 1 from t\");\nsqx_exec(" + H300 + ");\n}\n"}},
     "1 in a.c:2 1\n-- locations\na.c:2: 1@2\na.c:3: 1@2\n-- statements\n" + H255 + " a.c:2\n"},
    // SQL text where the handle belongs: the text names the site, so the
    // handle's own site stays and its execute publishes under both lines.
    {"SqlTextAsFirstArgumentRegistersASiteOfItsOwn",
     "odbc",
     {{"a.c", "{\nsqx_assign(h, \"5\");\nsqx_stmt(h\n\"1\", -1);\nsqx_exec(h);\n}\n"}},
     "5 in a.c:2 2\n-- locations\na.c:3: 5@2\na.c:5: 5@2\n-- statements\n1 a.c:4\nh a.c:3\n"},
    {"SqlTextAsFirstArgumentIsCutLikeAHandle",
     "oracle",
     {{"a.c", "{\nsqx_stmt(\n\"'" + H300 + "'\");\n}\n"}},
     "-- statements\n" + H255 + " a.c:3\n"},
    // Each site names its own file, also right after another file's execute.
    {"StatementSitesNameTheirOwnFile",
     "oracle",
     {{"a.c", "{\nsqx_stmt(C, \"select 1 from t\");\nsqx_exec(C);\n"},
      {"b.c", "sqx_stmt(D, \"select 2 from t\");\n}\n"}},
     "1 in a.c:2 1\n2 in b.c:1 1\n-- locations\na.c:2: 1@2\na.c:3: 1@2\n-- statements\nC "
     "a.c:2\nD b.c:1\n-- pending\nD: 2@1\n"},
    {"LocationKeysOfLongFileNamesAreFormedInFull",
     "oracle",
     {{LONG_NAME, "{\nsqx_stmt(C, \"select 1 from t\");\nsqx_exec(C);\n}\n"}},
     "1 in " + LONG_NAME + ":2 1\n-- locations\n" + LONG_NAME + ":2: 1@2\n" + LONG_NAME +
         ":3: 1@2\n-- statements\nC " + LONG_NAME + ":2\n"},
};
INSTANTIATE_TEST_SUITE_P(, RecorderTest, ::testing::ValuesIn(RECORDER_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RecorderCallTest, CmxArgumentTextIsLeftAsItWas) {
    TestProject project;
    project.add_action("a.c", "{ }");
    ASSERT_EQ(project.build_index(), 0);
    set_current_analyser(project.analyser());
    char text[] = "\\'one\\' and \\'two\\'";
    const std::string before = text;
    int result = record_argument(text, "cmx_send", 1, 1, project.index()->file_paths[0], "C");
    set_current_analyser(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(text, before);
    EXPECT_EQ(DumpOccurrences(project.index()), "one in a.c:1 15\ntwo in a.c:1 15\n");
}

// Asked in this order, as a scan asks for each argument of each call: a
// name's code never leaks into the next name's answer.
TEST(RecorderCallTest, CallCodesInTheOrderAScanAsks) {
    const std::string long_name = "sqx_exec" + std::string(300, 'x');
    const std::pair<std::string, int> cases[] = {
        {"sqx_stmt", CALL_STMT},
        {"sqx_stmt", CALL_STMT},
        {"sqx_exec", CALL_EXEC},
        {"sqx_exe", -1},
        {"sqx_exec", CALL_EXEC},
        {"cmx_send", CALL_CMX},
        {"sqx_exec", CALL_EXEC},
        {"sqx_assign_bind", CALL_ASSIGN_BIND},
        {long_name, -1},
        {long_name.substr(0, 255), -1},
        {"sqx_assign", CALL_ASSIGN},
        {"GRID", -1},
        {"sqx_assign", CALL_ASSIGN},
        {"", -1},
    };
    for (const auto &[name, code] : cases) {
        EXPECT_EQ(recorder_call_code(name.c_str()), code) << name;
    }
    EXPECT_EQ(recorder_call_code(nullptr), -1);
}

// A literal is dropped when its value's last occurrence is a literal on the
// same line of a file with the same path. The recorder keeps that occurrence's
// line and file in the value's record; the model here looks at the texts.
TEST(RecorderCallTest, RepeatedLiteralsAreDroppedAsTheirLastOccurrenceSays) {
    TestProject project;
    project.add_action("a.c", "{ }");
    project.add_action("b.c", "{ }");
    ASSERT_EQ(project.build_index(), 0);
    correlation_index *index = project.index();
    const char *a = index->file_paths[0];
    const char *b = index->file_paths[1];
    const std::string a_elsewhere = a;  // the same path at another address
    const std::string outside = "/elsewhere/c.c";
    const std::string outside_elsewhere = outside;
    const char *GRID = "grid";
    struct step {
        const char *value;
        int line;
        const char *file;  // GRID: a grid cell
    };
    const step steps[] = {
        {"v", 1, a},
        {"v", 1, a},
        {"v", 2, a},
        {"v", 2, b},
        {"v", 2, a},
        {"v", 2, a_elsewhere.c_str()},
        {"v", 2, GRID},
        {"v", 2, a},
        {"w", 5, outside.c_str()},
        {"w", 5, outside_elsewhere.c_str()},
        {"w", 5, a},
        {"w", 5, outside.c_str()},
        {"v", 2, outside.c_str()},
        {"v", 2, a},
        {"x", 3, b},
        {"x", 3, GRID},
        {"x", 3, GRID},
        {"x", 3, b},
        {"x", 3, b},
        {"v", 2, a},
    };
    struct last_occurrence {
        bool literal;
        int line;
        std::string file;
    };
    std::map<std::string, last_occurrence> last;
    std::map<std::string, int> expected_count;
    set_current_analyser(project.analyser());
    for (const step &s : steps) {
        bool literal = s.file != GRID;
        auto found = last.find(s.value);
        bool repeat = literal && found != last.end() && found->second.literal &&
                      found->second.line == s.line && found->second.file == s.file;
        if (!repeat) {
            ++expected_count[s.value];
            last[s.value] = {literal, s.line, literal ? s.file : ""};
        }
        int result = literal ? record_occurrence(s.value, CALL_ASSIGN, DIRECTION_INPUT, s.line,
                                                 s.file, NO_GRID_POSITION, NO_GRID_POSITION,
                                                 NO_GRID_POSITION, LITERAL_MARKER, nullptr)
                             : record_occurrence(s.value, CALL_GRID, DIRECTION_OUTPUT, s.line,
                                                 nullptr, 1, 0, 0, GRID_CELL_MARKER, nullptr);
        ASSERT_EQ(result, 0);
    }
    set_current_analyser(nullptr);
    for (const auto &[value, count] : expected_count) {
        token_instances_t *instances = find_token_instances(index, value.c_str());
        ASSERT_NE(instances, nullptr) << value;
        EXPECT_EQ(instances->total_count, count) << value;
        int listed = 0;
        for (list_node *node = list_head(instances->occurrences); node != nullptr;
             node = node->next) {
            ++listed;
            EXPECT_EQ(node->next == nullptr, node == *instances->last_position) << value;
        }
        EXPECT_EQ(listed, count) << value;
    }
}

TEST(RecorderCallTest, ValueClasses) {
    const std::pair<const char *, int> cases[] = {
        {"1.2.3", 2}, {"1.2", 0},   {"1..2", 1}, {"12AB", 0}, {"xyz", 1}, {"", 0},
        {".5", 0},    {"a.b.c", 2}, {"1.2.", 2}, {"-1", 1},   {"1 2", 1}, {"\x81\x40", 1},
    };
    for (const auto &[value, value_class] : cases) {
        EXPECT_EQ(value_class_of(value), value_class) << value;
    }
}

}  // namespace
