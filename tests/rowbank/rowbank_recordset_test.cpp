// Recordsets embedded in action files (grid type 100).

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "rowbank/rowbank.h"
#include "rowbank_test_support.h"
#include "test_support.h"

namespace {

using tw_test::GridContents;
using tw_test::missing_grid;
using tw_test::opened_grid;
using tw_test::read_grid;

const std::nullopt_t NO_DATA = std::nullopt;

const char ROOT_OPEN[] =
    "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\"\n"
    "\txmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\"\n"
    "\txmlns:rs=\"urn:schemas-microsoft-com:rowset\"\n"
    "\txmlns:z=\"#RowsetSchema\">\n";

// Rowset XML with columns ID and NAME and the given z:row elements.
std::string rowset(const std::string &rows) {
    return std::string(ROOT_OPEN) +
           "<s:Schema id=\"RowsetSchema\">\n"
           "\t<s:ElementType name=\"row\" content=\"eltOnly\">\n"
           "\t\t<s:AttributeType name=\"ID\" rs:number=\"1\">\n"
           "\t\t\t<s:datatype dt:type=\"int\" dt:maxLength=\"4\"/>\n"
           "\t\t</s:AttributeType>\n"
           "\t\t<s:AttributeType name=\"NAME\" rs:number=\"2\" rs:nullable=\"true\">\n"
           "\t\t\t<s:datatype dt:type=\"string\" dt:maxLength=\"40\"/>\n"
           "\t\t</s:AttributeType>\n"
           "\t\t<s:extends type=\"rs:rowbase\"/>\n"
           "\t</s:ElementType>\n"
           "</s:Schema>\n"
           "<rs:data>\n" +
           rows + "</rs:data>\n</xml>\n";
}

std::string comment(int number, const std::string &xml) {
    return "/* RECORDSET " + std::to_string(number) + "\n" + xml + "*/\n";
}

// An action file with the given text between its function and its end.
std::string action_file(const std::string &recordsets) {
    return "Action()\n{\n"
           "\tsqx_stmt(Csr1, \"SELECT ID, NAME FROM T\");\n"
           "\tsqx_exec(Csr1);\n"
           "\tsqx_fetch(Csr1, 2, RECORDSET_XML 1);\n"
           "\treturn 0;\n}\n\n" +
           recordsets;
}

struct RecordsetCase {
    const char *name;
    std::string file;
    int recordset;
    GridContents expected;
};

std::ostream &operator<<(std::ostream &out, const RecordsetCase &c) {
    return out << c.name;
}

class RecordsetCaseTest : public ::testing::TestWithParam<RecordsetCase> {};

TEST_P(RecordsetCaseTest, ReadsTheRecordsetAsExpected) {
    const RecordsetCase &c = GetParam();
    tw_test::TempDir dir;
    std::string path = dir.write("Action.c", c.file);
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, c.recordset), c.expected);
}

const std::string ONE_ROW = "<z:row ID=\"1\" NAME=\"one\"/>\n";
const std::string MALFORMED = std::string(ROOT_OPEN) + "<s:Schema><rs:data></xml>\n";

const RecordsetCase CELL_CASES[] = {
    {"AbsentAndEmptyAttributesHoldNoData",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"a\"/>\n<z:row ID=\"2\"/>\n"
                                   "<z:row NAME=\"\" ID=\"3\"/>\n<z:row NAME=\"n\"/>\n"
                                   "<z:row ID=\"5\" EXTRA=\"ignored\"/>\n"))),
     1,
     opened_grid(2, {{"1", "a"}, {"2", NO_DATA}, {"3", NO_DATA}, {NO_DATA, "n"}, {"5", NO_DATA}})},
    {"EscapesAreResolved",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"a&amp;b &#42;/ &quot;q&quot; "
                                   "&lt;&gt; &apos;&#x2A;&#x0d;&#x0a;\"/>\n"))),
     1, opened_grid(2, {{"1", "a&b */ \"q\" <> '*\r\n"}})},
    {"MultiByteUtf8",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA"
                                   "\xAC \xF0\x9F\x98\x80\"/>\n"))),
     1, opened_grid(2, {{"1", "M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80"}})},
    {"LiteralWhitespaceInValuesBecomesSpaces",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"a\tb\r\nc\nd\"/>\n"))), 1,
     opened_grid(2, {{"1", "a b c d"}})},
    {"NoRows", action_file(comment(1, rowset(""))), 1, opened_grid(2, {})},
    {"ColumnsDirectlyInSchema",
     action_file(comment(1, std::string(ROOT_OPEN) +
                                "<s:Schema><s:AttributeType name=\"A\"/>"
                                "<s:AttributeType/><s:AttributeType name=\"C\"/></s:Schema>"
                                "<rs:data><z:row C=\"c\" A=\"a\"/></rs:data></xml>")),
     1, opened_grid(3, {{"a", NO_DATA, "c"}})},
    {"NestedRecordsetColumnsAreNotColumns",
     action_file(comment(
         1, std::string(ROOT_OPEN) +
                "<s:Schema><s:ElementType name=\"row\"><s:AttributeType name=\"A\"/>"
                "<s:ElementType name=\"child\"><s:AttributeType name=\"B\"/></s:ElementType>"
                "</s:ElementType></s:Schema><rs:data><z:row A=\"a\" B=\"b\"/></rs:data></xml>")),
     1, opened_grid(1, {{"a"}})},
    {"PrefixesAreMatchedByNamespace",
     action_file(comment(1,
                         "<xml xmlns:q=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
                         "xmlns:r=\"urn:schemas-microsoft-com:rowset\" "
                         "xmlns=\"#RowsetSchema\"><q:Schema><q:AttributeType name=\"A\"/>"
                         "</q:Schema><r:data><row A=\"x\"/><z:row A=\"no prefix bound\"/>"
                         "</r:data></xml>")),
     1, opened_grid(1, {{"x"}})},
};
INSTANTIATE_TEST_SUITE_P(Cells, RecordsetCaseTest, ::testing::ValuesIn(CELL_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

const RecordsetCase COMMENT_CASES[] = {
    {"BlanksAfterOpenerAndTabBeforeNumber",
     action_file("/*   RECORDSET\t7\r\n" + rowset(ONE_ROW) + "*/"), 7,
     opened_grid(2, {{"1", "one"}})},
    {"NoBlankAfterOpenerAndXmlOnTheSameLine",
     action_file("/*RECORDSET 7 " + rowset(ONE_ROW) + "*/"), 7, opened_grid(2, {{"1", "one"}})},
    {"CommentEndsAtFirstCloser",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"a */ b\"/>\n")) +
                 comment(2, rowset(ONE_ROW))),
     1, missing_grid()},
    {"TextAfterBrokenCommentStillScanned",
     action_file(comment(1, rowset("<z:row ID=\"1\" NAME=\"a */ b\"/>\n")) +
                 comment(2, rowset(ONE_ROW))),
     2, opened_grid(2, {{"1", "one"}})},
    {"MalformedXmlFailsOnlyItsRecordset", action_file(comment(1, MALFORMED)), 1, missing_grid()},
    {"RecordsetAfterMalformedOneOpens",
     action_file(comment(1, MALFORMED) + comment(2, rowset(ONE_ROW))), 2,
     opened_grid(2, {{"1", "one"}})},
    {"DuplicateNumberFirstWins",
     action_file(comment(3, rowset(ONE_ROW)) +
                 comment(3, rowset("<z:row ID=\"2\" NAME=\"two\"/>"))),
     3, opened_grid(2, {{"1", "one"}})},
    {"MissingNumber", action_file(comment(1, rowset(ONE_ROW))), 2, missing_grid()},
    {"OpenerInStringOrLineCommentIsNoComment",
     action_file("\tchar *s = \"/* RECORDSET 4 <broken\", c = '\\'';\n"
                 "\t// /* RECORDSET 4 <broken\n"
                 "\t// continued \\\n /* RECORDSET 4 <broken\n"
                 "\tchar *t = \"\\\" /* RECORDSET 4 <broken\";\n" +
                 comment(4, rowset(ONE_ROW))),
     4, opened_grid(2, {{"1", "one"}})},
    {"OpenerInCharacterLiteralIsNoComment",
     action_file("\tint c = '/*';\n" + comment(4, rowset(ONE_ROW))), 4,
     opened_grid(2, {{"1", "one"}})},
    {"OpenerAfterUnclosedStringOnEarlierLine",
     action_file("\tchar *s = \"unclosed\n" + comment(4, rowset(ONE_ROW))), 4,
     opened_grid(2, {{"1", "one"}})},
    {"WordsThatAreNotTheHeader",
     action_file("/* RECORDSET 4x " + rowset(ONE_ROW) + "*/\n/* RECORDSETS 4 " + rowset(ONE_ROW) +
                 "*/\n/* RECORDSET_XML 4 " + rowset(ONE_ROW) + "*/\n/* note\nRECORDSET 4 " +
                 rowset(ONE_ROW) + "*/\n/* recordset 4 " + rowset(ONE_ROW) +
                 "*/\n/* RECORDSET -4 " + rowset(ONE_ROW) + "*/\n"),
     4, missing_grid()},
    {"HugeNumberIsAnOrdinaryComment",
     action_file("/* RECORDSET 99999999999999999999 " + rowset(ONE_ROW) + "*/\n"), 1661992960,
     missing_grid()},
    {"LargestNumberIsARecordset",
     action_file("/* RECORDSET 2147483647\n" + rowset(ONE_ROW) + "*/\n"), 2147483647,
     opened_grid(2, {{"1", "one"}})},
    {"NumberPastTheLargestIsAnOrdinaryComment",
     action_file("/* RECORDSET 2147483648\n" + rowset(ONE_ROW) + "*/\n"), -2147483647 - 1,
     missing_grid()},
    {"UnclosedCommentRunsToEndOfFile", action_file("/* RECORDSET 5\n" + rowset(ONE_ROW)), 5,
     opened_grid(2, {{"1", "one"}})},
    {"UnclosedCommentWithTruncatedXml",
     action_file("/* RECORDSET 5\n" + rowset(ONE_ROW).substr(0, 300)), 5, missing_grid()},
    {"EmptyRecordsetComment", action_file("/* RECORDSET 5*/\n/* RECORDSET 6 */"), 5,
     missing_grid()},
    {"NotRowsetXml", action_file(comment(5, "<root><a/></root>")), 5, missing_grid()},
    {"SchemaWithoutData",
     action_file(comment(
         5, std::string(ROOT_OPEN) + "<s:Schema><s:AttributeType name=\"A\"/></s:Schema></xml>")),
     5, missing_grid()},
    {"SchemaInWrongNamespace",
     action_file(comment(5,
                         "<xml xmlns:s=\"urn:other\" xmlns:rs=\"urn:schemas-microsoft-com:"
                         "rowset\"><s:Schema/><rs:data/></xml>")),
     5, missing_grid()},
};
INSTANTIATE_TEST_SUITE_P(Comments, RecordsetCaseTest, ::testing::ValuesIn(COMMENT_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

// Action files are indexed in pieces of 64 KB, passing over code, literals
// and comments a run at a time: a comment opener, closer, literal or line
// continuation split between two pieces must read as it would whole.
TEST(RecordsetRows, MarksSplitBetweenReadPiecesKeepTheirMeaning) {
    const size_t PIECE_SIZE = 64 * 1024;
    const std::string recordset = rowset(ONE_ROW);
    const std::string broken_first = "/* RECORDSET 4 <broken */\n";
    const struct {
        const char *name;
        std::string before_boundary;
        std::string after_boundary;
    } cases[] = {
        {"CommentOpener", "/", "* RECORDSET 4\n" + recordset + "*/\n"},
        {"CommentCloser", "/* RECORDSET 4\n" + recordset + "*", "/\n"},
        {"StringLiteral", "char *s = \"a \\",
         "\" " + broken_first + "\";\n" + comment(4, recordset)},
        {"CharacterLiteral", "c = '\\",
         "'; s = \"" + broken_first + "\";\n" + comment(4, recordset)},
        {"LineCommentContinued", "// note \\", "\n" + broken_first + comment(4, recordset)},
        {"HeaderWord", "/* RECORD", "SET 4\n" + recordset + "*/\n"},
    };
    const std::string head = action_file("");
    for (const auto &c : cases) {
        size_t filler = PIECE_SIZE - head.size() - c.before_boundary.size();
        std::string code;
        while (code.size() < filler) {
            code += code.size() % 64 == 63 ? '\n' : ' ';
        }
        tw_test::TempDir dir;
        std::string path =
            dir.write("Action.c", head + code + c.before_boundary + c.after_boundary);
        EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 4), opened_grid(2, {{"1", "one"}}))
            << c.name;
    }
}

TEST(RecordsetRows, RowsByIndex) {
    tw_test::TempDir dir;
    std::string path = dir.write(
        "Action.c", action_file(comment(9, rowset("<z:row ID=\"0\"/><z:row ID=\"1\" NAME=\"b\"/>"
                                                  "<z:row ID=\"2\"/>"))));
    FI_GRID_HANDLE handle = nullptr;
    ASSERT_EQ(fiGridOpenFile(&handle, FI_GRID_TYPE_RECORDSET, path.c_str()), 0);
    ASSERT_EQ(fiGridOpenTable(handle, &handle, 9), 0);
    // The walk the recordset loader makes: 0, 1, 2, ... until a row is missing.
    std::vector<std::string> ids;
    for (int row = 0; fiGridReadRowRecord(handle, row) == 0; ++row) {
        char *text = nullptr;
        ASSERT_EQ(fiGridGetFieldPtr(handle, 0, 1, &text), 0);
        ids.push_back(text);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"0", "1", "2"}));
    ASSERT_EQ(fiGridReadRowRecord(handle, 1), 0);
    char *name = nullptr;
    ASSERT_EQ(fiGridGetFieldPtr(handle, 1, 1, &name), 0);
    EXPECT_STREQ(name, "b");
    ASSERT_EQ(fiGridReadRowRecord(handle, -1), 0);
    EXPECT_NE(fiGridColContainData(handle, 1), 0);
    fiGridCloseFile(&handle);
}

}  // namespace
