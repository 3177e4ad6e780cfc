// The scanner's rules as the index sees them: which values a script yields,
// with which line and call code. Each case is one action file "a.c" and the
// occurrences it must give, nothing more and nothing less.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/recorder.h"
#include "index/scanner/scanner.h"
#include "index_dump.h"
#include "model/keyword_table.h"
#include "platlib/platlib.h"

namespace {

using tw_test::Bytes;

struct ScriptCase {
    const char *name;
    std::string script;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const ScriptCase &c) {
    return out << c.name;
}

std::string OccurrencesOf(const std::string &script) {
    tw_test::TestProject project;
    project.add_action("a.c", script);
    if (project.build_index() != 0) {
        return "!! BuildIndex failed\n";
    }
    return tw_test::DumpOccurrences(project.index());
}

class ScannerRulesTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScannerRulesTest, YieldsExactlyTheExpectedOccurrences) {
    EXPECT_EQ(OccurrencesOf(GetParam().script), GetParam().expected);
}

std::string CaseName(const ::testing::TestParamInfo<ScriptCase> &info) {
    return info.param.name;
}

// Longest match, rule order and the line-start anchor.
const ScriptCase MATCHING_CASES[] = {
    {"HashLineIsConsumedWholeAndCountedOnce",
     "{\n#define X sqx_assign(C, \"w\")\nsqx_assign(C, \"v\");\n}\n", "v in a.c:3 2\n"},
    {"HashLineAtEndWithoutNewlineIsScannedTokenByToken", "{\n#x sqx_assign(C, \"w\")",
     "w in a.c:2 2\n"},
    {"HashAfterLineStartIsAnOrdinaryByte", "{ # sqx_assign(C, \"v\");\n}\n", "v in a.c:1 2\n"},
    {"LongerCallNameWins", "{ sqx_assign_bind(C, \":1\", \"v\", 0); }", "v in a.c:1 3\n"},
    {"EveryRecordedCallWithItsCodeAndValuePosition",
     "{\n"
     "sqx_assign(C, \"a2\", \"x\");\n"
     "sqx_assign_bind(C, \"x\", \"b3\");\n"
     "sqx_assign_bind_literal(C, \"x\", \"c6\");\n"
     "sqx_bind_placeholder(C, \"x\", \"x\");\n"
     "sqx_ora8_stmt(C, \"select 9\", \"select 0\");\n"
     "sqx_ora8_stmt_literal(C, \"select 10\");\n"
     "sqx_ora8_stmt_ext(C, \"select 11\");\n"
     "sqx_assign_literal(C, \"d12\");\n"
     "sqx_assign_ext(C, \"e13\");\n"
     "sqx_assign_bind_ext(C, \"x\", \"f14\");\n"
     "cmx_anything(C, \"g15\", \"h15\");\n"
     "}\n",
     "10 in a.c:7 10\n"
     "11 in a.c:8 11\n"
     "9 in a.c:6 9\n"
     "a2 in a.c:2 2\n"
     "b3 in a.c:3 3\n"
     "c6 in a.c:4 6\n"
     "d12 in a.c:9 12\n"
     "e13 in a.c:10 13\n"
     "f14 in a.c:11 14\n"
     "g15 in a.c:12 15\n"
     "h15 in a.c:12 15\n"},
    {"CommasCountOnlyAtTheCallsOwnDepth", "{ sqx_assign_bind(C, f(a, b), \"v\"); }",
     "v in a.c:1 3\n"},
    {"StatementCallRecordsIdentifierArguments", "{ sqx_stmt(C, sql_text, FLAG); }",
     "sql_text in a.c:1 1\n"},
    {"AssignmentCallDoesNotRecordIdentifiers", "{ sqx_assign(C, value); }", ""},
};
INSTANTIATE_TEST_SUITE_P(Matching, ScannerRulesTest, ::testing::ValuesIn(MATCHING_CASES), CaseName);

// Literals inside the SQL text of a statement call.
const ScriptCase SQL_TEXT_CASES[] = {
    {"NumbersAreRecordedWholeExponentOnlyAfterLeadingDot",
     "{ sqx_stmt(C, \"select -12.5, 12., .5e-3, 1.5e3 from t\", -1); }",
     "-12.5 in a.c:1 1\n.5e-3 in a.c:1 1\n1.5 in a.c:1 1\n12. in a.c:1 1\n"},
    {"QuotedLiteralsWithoutQuotesAndAsWritten",
     "{ sqx_stmt(C, \"update t set a = :1, b = 'it''s', c = 'x\\\"y' where d1 = x2\"); }",
     "it''s in a.c:1 1\nx\\\"y in a.c:1 1\n"},
    {"WordsPlaceholdersAndCallArgumentsAreSkipped",
     "{ sqx_stmt(C, \"select col1, :12 from t2\", -1, 1, 0); }", ""},
    {"EscapedDoubleQuoteDoesNotEndTheText",
     "{ sqx_stmt(C, \"select \\\"N\\\" from t where a = 5\", -1); }", "5 in a.c:1 1\n"},
    {"UnclosedSingleQuoteStopsAtTheDoubleQuote",
     "{ sqx_stmt(C, \"select 'abc from t where a = 7\", -7); }", "7 in a.c:1 1\n"},
    {"EmptyLiteralIsNotAValue", "{ sqx_stmt(C, \"select '' from t\"); }", ""},
    // Words, placeholders and punctuation are skipped in runs that must stop
    // at whatever begins a value.
    {"ValuesRightAfterWordsPlaceholdersAndPunctuation",
     "{ sqx_stmt(C, \"select a,-1,b=+2,c(.5),:1,3,x#$,4 _9 a1.5e1 (-7) ab\x81"
     "c 8,'q'\"); }",
     "+2 in a.c:1 1\n-1 in a.c:1 1\n-7 in a.c:1 1\n.5 in a.c:1 1\n.5e1 in a.c:1 1\n"
     "3 in a.c:1 1\n4 in a.c:1 1\n8 in a.c:1 1\n9 in a.c:1 1\nq in a.c:1 1\n"},
    {"TextContinuedInASecondLiteralOnTheNextLine",
     "{\nsqx_stmt(C, \"select 1 \"\n    \"from t where a = 2\", -1);\n}\n",
     "1 in a.c:2 1\n2 in a.c:3 1\n"},
    {"NewlineInsideTheTextIsNotCounted",
     "{\nsqx_stmt(C, \"select 1\nfrom t where a = 2\", -1);\nsqx_assign(C, \"v\");\n}\n",
     "1 in a.c:2 1\n2 in a.c:2 1\nv in a.c:3 2\n"},
};
INSTANTIATE_TEST_SUITE_P(SqlText, ScannerRulesTest, ::testing::ValuesIn(SQL_TEXT_CASES), CaseName);

// String arguments, and the inclusive rules that compete inside strings.
const ScriptCase STRING_CASES[] = {
    {"ValueStringWithoutItsQuotes", "{ sqx_assign(C, \"a b\"); }", "a b in a.c:1 2\n"},
    {"ValueStringKeepsEscapesAsWritten", "{ sqx_assign(C, \"a\\\"b\"); }", "a\\\"b in a.c:1 2\n"},
    {"ValueStringMayEndInABackslash", "{ sqx_assign(C, \"abc\\\"\n); }", "abc\\ in a.c:1 2\n"},
    {"EmptyValueStringIsNotAValue", "{ sqx_assign(C, \"\"); }", ""},
    {"UnterminatedValueStringIsNotRecordedAndCountsItsNewline",
     "{ sqx_assign(C, \"abc\n\");\nsqx_assign(C, \"v\"); }", "v in a.c:3 2\n"},
    {"LineCommentInsideAStringSwallowsTheLine",
     "{ x = \"a // b\"; sqx_assign(C, \"v\");\nsqx_assign(C, \"w\"); }", "w in a.c:2 2\n"},
    {"BlockCommentOpenedInsideAString",
     "{ x = \"/*\"; sqx_assign(C, \"v\"); */ sqx_assign(C, \"w\"); }", "w in a.c:1 2\n"},
    {"BlockCommentCountsItsNewlines", "{ /* one\ntwo */ sqx_assign(C, \"v\");\n}",
     "v in a.c:2 2\n"},
    {"WordAfterVariantIsItsValueNotACall", "{ VARIANT sqx_assign(C, \"v\"); }", ""},
};
INSTANTIATE_TEST_SUITE_P(Strings, ScannerRulesTest, ::testing::ValuesIn(STRING_CASES), CaseName);

// Where a call is recognised at all.
const ScriptCase STATEMENT_LEVEL_CASES[] = {
    {"NotOutsideAFunctionBody", "sqx_assign(C, \"v\");\n{ }\n", ""},
    {"NotInsideTheArgumentsOfAnotherCall", "{ printf(\"%d\", sqx_assign(C, \"v\")); }", ""},
    {"NotUntilAStrayCloseParenthesisIsBalanced",
     "{ ) sqx_assign(C, \"v\"); ( sqx_assign(C, \"w\"); }", "w in a.c:1 2\n"},
};
INSTANTIATE_TEST_SUITE_P(StatementLevel, ScannerRulesTest,
                         ::testing::ValuesIn(STATEMENT_LEVEL_CASES), CaseName);

// Bytes that are not plain ASCII text.
const ScriptCase BYTE_CASES[] = {
    {"NulBytesAreOrdinaryControlCharacters",
     Bytes("{ x\0y; /* \0 */ sqx_stmt(C, \"select 1 \0 2\");\nsqx_assign(C, \"v\"); }"),
     "1 in a.c:1 1\n2 in a.c:1 1\nv in a.c:2 2\n"},
    // Texts are handed over NUL-terminated, so a value ends at a NUL byte.
    {"NulByteInsideAValueEndsIt", Bytes("{ sqx_assign(C, \"a\0b\"); }"), "a in a.c:1 2\n"},
    {"CrLfLinesCountOnce",
     "#include \"x.h\"\r\n{\r\nsqx_stmt(C, \"select 1\r\nfrom t\");\r\n"
     "sqx_assign(C, \"v\");\r\n}\r\n",
     "1 in a.c:3 1\nv in a.c:4 2\n"},
    // A Shift_JIS character whose second byte is a backslash does not escape
    // the double quote after it.
    {"DoubleByteBackslashBeforeTheQuoteEndingSqlText",
     "{\nsqx_stmt(C, \"select 'ab\x81\\\", -1, 7);\nsqx_assign(C, \"v\");\n}\n", "v in a.c:3 2\n"},
    {"DoubleBytePairInsideSqlLiteral", "{ sqx_stmt(C, \"select '\x95\\' from t where a = 3\"); }",
     "3 in a.c:1 1\n\\x95\\ in a.c:1 1\n"},
    {"DoubleBytePairsInsideAComment", "{ /* \x95\\ \x81*/ sqx_assign(C, \"v\"); }",
     "v in a.c:1 2\n"},
    {"MatchLongerThanTheInputBufferGrowsIt",
     "{ sqx_assign(C, \"" + std::string(100000, 'v') + "\"); }",
     std::string(100000, 'v') + " in a.c:1 2\n"},
    {"IdentifiersLongerThanTheScannersBuffersAreCut",
     "{ sqx_assign(" + std::string(300, 'h') + ", \"v\"); cmx_" + std::string(300, 'c') +
         "(H, \"w\"); }",
     "v in a.c:1 2\nw in a.c:1 15\n"},
};
INSTANTIATE_TEST_SUITE_P(Bytes, ScannerRulesTest, ::testing::ValuesIn(BYTE_CASES), CaseName);

// The platform character set, set for a test's duration.
class ScopedCharsetType {
public:
    explicit ScopedCharsetType(int type) : saved_(xeOsCharsetType) { xeOsCharsetType = type; }
    ~ScopedCharsetType() { xeOsCharsetType = saved_; }
    ScopedCharsetType(const ScopedCharsetType &) = delete;
    ScopedCharsetType &operator=(const ScopedCharsetType &) = delete;

private:
    int saved_;
};

// Value strings and SQL literals in double-byte text: a lead byte takes its
// trail byte along, so a trail byte '\' never escapes the quote after it.
// Each script is scanned as single-byte text (as before) and as double-byte.
struct CharsetCase {
    const char *name;
    std::string script;
    std::string single_byte;
    std::string double_byte;
};

std::ostream &operator<<(std::ostream &out, const CharsetCase &c) {
    return out << c.name;
}

const int SINGLE_BYTE = 1;
const int DOUBLE_BYTE = 2;

const CharsetCase CHARSET_CASES[] = {
    {"TrailBackslashBeforeTheClosingQuote",
     "{ sqx_assign_bind(Csr1, \":1\", \"\x83\x5c\", 0); sqx_assign_bind(Csr1, \":2\", \"B2\", 0); "
     "}",
     ",  in a.c:1 3\n\\x83\\\", 0); sqx_assign_bind(Csr1,  in a.c:1 3\n",
     "B2 in a.c:1 3\n\\x83\\ in a.c:1 3\n"},
    {"LeadByteBeforeTheClosingQuoteStandsAlone",
     "{ sqx_assign(C, \"ab\x83\"); sqx_assign(C, \"B2\"); }", "B2 in a.c:1 2\nab\\x83 in a.c:1 2\n",
     "B2 in a.c:1 2\nab\\x83 in a.c:1 2\n"},
    {"OnlyLeadBytesPair", "{ sqx_assign(C, \"\xb1\x5c\"); sqx_assign(C, \"B2\"); }",
     "\\xb1\\\"); sqx_assign(C,  in a.c:1 2\n", "\\xb1\\\"); sqx_assign(C,  in a.c:1 2\n"},
    {"TrailBackslashBeforeTheQuoteEndingSqlText",
     "{ sqx_stmt(C, \"select '\x83\x5c\"); sqx_assign(C, 'q'); sqx_assign(C, \"v\"); }",
     "v in a.c:1 1\n\\x83\\\"); sqx_assign(C,  in a.c:1 1\n", "v in a.c:1 2\n"},
    {"PairInsideSqlLiteral", "{ sqx_stmt(C, \"select '\x83\x5c' from t where a = 3\"); }",
     "3 in a.c:1 1\n\\x83\\ in a.c:1 1\n", "3 in a.c:1 1\n\\x83\\ in a.c:1 1\n"},
    {"LeadByteAtEndOfLineLeavesTheStringOpen",
     "{ sqx_assign(C, \"ab\x83\n\"); sqx_assign(C, \"v\"); }", "v in a.c:2 2\n", "v in a.c:2 2\n"},
    {"LeadByteAtEndOfFileInAValueString", "{ sqx_assign(C, \"v\"); sqx_assign(C, \"\x83",
     "v in a.c:1 2\n", "v in a.c:1 2\n"},
    {"LeadByteAtEndOfFileInSqlText", "{ sqx_assign(C, \"v\"); sqx_stmt(C, \"select '\x83",
     "v in a.c:1 2\n", "v in a.c:1 2\n"},
    {"LeadByteAtEndOfFileInAComment", "{ sqx_assign(C, \"v\"); /* \x83", "v in a.c:1 2\n",
     "v in a.c:1 2\n"},
};

class CharsetRulesTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(CharsetRulesTest, SingleByteAsBeforeDoubleByteKeepsPairsWhole) {
    {
        ScopedCharsetType charset(SINGLE_BYTE);
        EXPECT_EQ(OccurrencesOf(GetParam().script), GetParam().single_byte) << "single-byte";
    }
    ScopedCharsetType charset(DOUBLE_BYTE);
    EXPECT_EQ(OccurrencesOf(GetParam().script), GetParam().double_byte) << "double-byte";
}

INSTANTIATE_TEST_SUITE_P(Charset, CharsetRulesTest, ::testing::ValuesIn(CHARSET_CASES),
                         [](const ::testing::TestParamInfo<CharsetCase> &info) {
                             return std::string(info.param.name);
                         });

// Damaged action files: every prefix of a script (a file cut anywhere), and
// binary garbage with call fragments in it, scan without harm and leave a
// consistent index.
const char FULL_SCRIPT[] =
    "#include \"sqx.h\"\n"
    "/* RECORDSET 1 */\n"
    "Action()\n"
    "{\n"
    "    sqx_stmt(Csr1, \"select a from t where b = 'x''y' and c = -1.5e3\", -1);\n"
    "    sqx_assign_bind(Csr1, \":1\", \"v\\\"w\", 0);  // note \"\n"
    "    sqx_bind_placeholder(Csr1, \":2\", Csr2);\n"
    "    sqx_exec(Csr1.h, 0);\n"
    "    sqx_fetch(Csr1, 1, GRID(1 2), RECORDSET_XML(1)); VARIANT 7;\n"
    "    cmx_send(Csr1, \"\\'p\\' \\'q\\'\");\n"
    "}\n";

bool HasViolation(const std::string &dump) {
    return dump.rfind("!! ", 0) == 0 || dump.find("\n!! ") != std::string::npos;
}

TEST(DamagedActionFileTest, FileCutAnywhereScansToAConsistentIndex) {
    const std::string script = FULL_SCRIPT;
    for (size_t length = 0; length <= script.size(); ++length) {
        tw_test::BuildOptions options;
        options.database = length % 2 == 0 ? "oracle" : "odbc";
        std::string dump = tw_test::DumpOfScript(script.substr(0, length), options);
        ASSERT_FALSE(HasViolation(dump)) << "cut at " << length << ":\n" << dump;
    }
}

TEST(DamagedActionFileTest, BinaryGarbageScansToAConsistentIndex) {
    std::string garbage;
    unsigned state = 2024;
    for (int block = 0; block < 64; ++block) {
        for (int i = 0; i < 1024; ++i) {
            state = state * 1103515245u + 12345u;
            garbage += static_cast<char>(state >> 16);
        }
        garbage += FULL_SCRIPT + (block * 7) % (sizeof FULL_SCRIPT - 1);
    }
    for (int charset_type : {SINGLE_BYTE, DOUBLE_BYTE}) {
        ScopedCharsetType charset(charset_type);
        for (const char *database : {"oracle", "odbc"}) {
            tw_test::BuildOptions options;
            options.database = database;
            std::string dump = tw_test::DumpOfScript(garbage, options);
            EXPECT_FALSE(HasViolation(dump)) << charset_type << " " << database << "\n" << dump;
        }
    }
}

// The scanner reads statement-level names against a copy of the keyword
// table made when the scan starts; it must answer as a lookup in the table
// and the recorder's call code of the name as the scanner keeps it would,
// for near misses too, and also once the table is too big to copy.
TEST(CallKeywordFilterTest, AnswersAsTheTableAndTheRecorderDo) {
    tw_test::TestProject project;
    project.add_action("a.c", "{ }");
    ASSERT_EQ(project.build_index(), 0);
    ht_table *keywords = analyser_keywords(project.analyser());
    ASSERT_NE(keywords, nullptr);

    std::vector<std::string> names = {std::string(63, 's'), std::string(64, 's'),
                                      "sqx_exec" + std::string(300, 'x'),
                                      "cmx_" + std::string(300, 'x')};
    for (const char *name : {"", "a", "cmx", "cmx_", "cmx_send", "CMX_send", "sqx_", "GRID",
                             "GRID2", "RECORDSET_XML", "sqx_think_time"}) {
        names.push_back(name);
    }
    for (const keyword_row &row : keyword_rows) {
        std::string name = row.name;
        names.push_back(name);
        names.push_back(name.substr(0, name.size() - 1));
        names.push_back(name + "_");
        names.push_back("x" + name.substr(1));
        names.push_back(name.substr(0, name.size() - 1) + "X");
    }
    auto expect_same_answers = [&](const char *table_state) {
        set_current_analyser(project.analyser());
        load_call_keywords();
        for (const std::string &name : names) {
            std::string kept = name.substr(0, SCANNER_NAME_SIZE - 1);
            int scanner_class = classify_call_name(name.c_str());
            call_name_kind kind = classify_call(name.c_str(), name.size());
            EXPECT_EQ(kind.scanner_class, scanner_class) << table_state << ": " << name;
            if (scanner_class != SCANNER_CLASS_NONE) {
                EXPECT_EQ(kind.call_code, recorder_call_code(kept.c_str()))
                    << table_state << ": " << name;
            }
        }
        set_current_analyser(nullptr);
    };
    expect_same_answers("as built");

    // The filter reads a keyword's class from the table at each match.
    *static_cast<int *>(ht_get(keywords, "sqx_exec")) = SCANNER_CLASS_VALUE_ARGS;
    expect_same_answers("a class changed");

    for (int i = 0; i < 80; ++i) {
        std::string name = "sqx_extra_" + std::to_string(i);
        int *scanner_class = static_cast<int *>(malloc(sizeof(int)));
        ASSERT_NE(scanner_class, nullptr);
        *scanner_class = SCANNER_CLASS_SQL_ARGS;
        ASSERT_EQ(ht_add(keywords, name.c_str(), scanner_class), 0);
        names.push_back(name);
    }
    expect_same_answers("too many names to copy");

    // Without an analyser no name is a keyword.
    load_call_keywords();
    EXPECT_EQ(classify_call("sqx_stmt", 8).scanner_class, SCANNER_CLASS_NONE);
    EXPECT_EQ(classify_call("cmx_send", 8).call_code, CALL_CMX);
}

}  // namespace
