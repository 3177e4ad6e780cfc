// The JSON, CSV, HTML and plan reports and explain: the text report stays
// byte for byte, every format lists the pairs the text lists with the grade
// they were ranked by, explain adds up to that grade bit for bit, and the
// reports of the example projects match their golden files. Set
// TOKENWEAVE_UPDATE_GOLDENS=1 to write the golden files afresh (after a
// change of the shipped weights, for instance) and review the diff.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"

namespace {

using json = nlohmann::json;

const std::string SOURCE_DIR = TOKENWEAVE_SOURCE_DIR;
const std::string ORDERS = SOURCE_DIR + "/examples/orders/orders.prj";
const std::string ORDERS_ODBC = SOURCE_DIR + "/examples/orders-odbc/orders.prj";
const std::string WEIGHTS = " --weights \"" + SOURCE_DIR + "/dat/crlt.dat\"";
const std::string GOLDEN_DIR = SOURCE_DIR + "/tests/cli/golden/";

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

CommandResult run(const std::string &arguments) {
    tw_test::TempDir scratch;
    std::string err_path = scratch.file("stderr.txt");
    CommandResult result;
    result.status =
        tw_test::run_command(std::string("\"") + TOKENWEAVE_CLI_PATH + "\" " + arguments + " 2>" +
                                 err_path + " <" + tw_test::NULL_DEVICE,
                             &result.out);
    result.err = tw_test::read_file(err_path);
    return result;
}

unsigned bits_of(float value) {
    unsigned bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every pair of a report: the entries and the pairs grouped under them.
std::vector<json> every_pair(const json &report) {
    std::vector<json> pairs;
    for (const json &entry : report.at("entries")) {
        pairs.push_back(entry);
        for (const json &more : entry.at("more")) {
            pairs.push_back(more);
        }
    }
    return pairs;
}

// The schema of the JSON reports, checked by hand: each field a report must
// have, with its type. "number?" and "string?" may also be null.
struct Field {
    const char *name;
    const char *type;
};
const Field REPORT_FIELDS[] = {{"format", "integer"},     {"command", "string"},
                               {"query", "object"},       {"weights_file", "string"},
                               {"diagnostics", "array"},  {"found", "boolean"},
                               {"pair_count", "integer"}, {"entries", "array"}};
const Field PAIR_FIELDS[] = {{"rank", "integer"},    {"grade", "number"},  {"value", "string"},
                             {"input", "object"},    {"output", "object"}, {"heuristics", "array"},
                             {"ambiguity", "object"}};
const Field ENTRY_FIELDS[] = {{"more_count", "integer"}, {"more", "array"}};
const Field INPUT_FIELDS[] = {
    {"file", "string"}, {"line", "integer"}, {"call", "string?"}, {"handle", "string?"}};
const Field OUTPUT_FIELDS[] = {{"file", "string"},        {"line", "integer"},
                               {"grid", "integer"},       {"row", "integer"},
                               {"column", "integer"},     {"column_position", "integer?"},
                               {"column_name", "string?"}};
const Field HEURISTIC_FIELDS[] = {
    {"name", "string"}, {"score", "number"}, {"weight", "number"}, {"contribution", "number"}};
const Field AMBIGUITY_FIELDS[] = {{"sources", "integer"}, {"unique_best", "boolean"}};

bool has_type(const json &value, std::string type) {
    bool nullable = type.back() == '?';
    if (nullable) {
        type.pop_back();
        if (value.is_null()) {
            return true;
        }
    }
    if (type == "integer")
        return value.is_number_integer();
    if (type == "number")
        return value.is_number();
    if (type == "string")
        return value.is_string();
    if (type == "boolean")
        return value.is_boolean();
    if (type == "array")
        return value.is_array();
    if (type == "object")
        return value.is_object();
    return false;
}

template <size_t N>
void expect_fields(const json &object, const Field (&fields)[N], const std::string &where) {
    ASSERT_TRUE(object.is_object()) << where << " is not an object";
    for (const Field &field : fields) {
        ASSERT_TRUE(object.contains(field.name)) << where << " lacks \"" << field.name << "\"";
        EXPECT_TRUE(has_type(object.at(field.name), field.type))
            << where << "." << field.name << " is not of type " << field.type << ": "
            << object.at(field.name).dump();
    }
}

void validate_pair(const json &pair, const std::string &where) {
    expect_fields(pair, PAIR_FIELDS, where);
    expect_fields(pair.at("input"), INPUT_FIELDS, where + ".input");
    expect_fields(pair.at("output"), OUTPUT_FIELDS, where + ".output");
    expect_fields(pair.at("ambiguity"), AMBIGUITY_FIELDS, where + ".ambiguity");
    ASSERT_EQ(pair.at("heuristics").size(), 9u) << where;
    for (const json &heuristic : pair.at("heuristics")) {
        expect_fields(heuristic, HEURISTIC_FIELDS, where + ".heuristics[]");
    }
}

void validate_report(const json &report) {
    expect_fields(report, REPORT_FIELDS, "report");
    EXPECT_EQ(report.at("format"), 1);
    size_t pairs = 0;
    for (const json &entry : report.at("entries")) {
        std::string where = "entry " + entry.value("rank", json()).dump();
        validate_pair(entry, where);
        expect_fields(entry, ENTRY_FIELDS, where);
        EXPECT_EQ(entry.at("more_count"), entry.at("more").size());
        for (const json &more : entry.at("more")) {
            validate_pair(more, where + ".more[]");
        }
        pairs += 1 + entry.at("more").size();
    }
    EXPECT_EQ(report.at("pair_count"), pairs);
}

// Paths of this checkout are written as <source>, so that golden files do
// not depend on where the tree lies.
std::string without_source_dir(std::string text) {
    for (size_t at = text.find(SOURCE_DIR); at != std::string::npos;
         at = text.find(SOURCE_DIR, at)) {
        text.replace(at, SOURCE_DIR.size(), "<source>");
    }
    return text;
}

void expect_golden(const std::string &name, const std::string &actual) {
    std::string path = GOLDEN_DIR + name;
    std::string normalised = without_source_dir(actual);
    const char *update = getenv("TOKENWEAVE_UPDATE_GOLDENS");
    if (update != nullptr && strcmp(update, "1") == 0) {
        FILE *file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        fwrite(normalised.data(), 1, normalised.size(), file);
        fclose(file);
        return;
    }
    ASSERT_TRUE(tw_test::file_exists(path)) << path << " is missing; run with "
                                            << "TOKENWEAVE_UPDATE_GOLDENS=1 to write it";
    EXPECT_EQ(tw_test::read_file(path), normalised)
        << name << " differs; if the change is intended, run with TOKENWEAVE_UPDATE_GOLDENS=1";
}

TEST(ReportFormats, TextFormatIsTheUnchangedReport) {
    for (const std::string &query :
         {"find " + ORDERS, "token " + ORDERS + " 900417 Action3.c 13",
          "cursor " + ORDERS + " Action3.c 25", "token " + ORDERS + " OPEN Action2.c 12"}) {
        CommandResult plain = run(query + WEIGHTS);
        CommandResult text = run(query + WEIGHTS + " --format text");
        EXPECT_EQ(text.status, plain.status) << query;
        EXPECT_EQ(text.out, plain.out) << query;
    }
}

TEST(ReportFormats, JsonListsThePairsOfTheTextReportWithTheirGrades) {
    CommandResult text = run("find " + ORDERS + WEIGHTS);
    CommandResult report = run("find " + ORDERS + WEIGHTS + " --format json");
    ASSERT_EQ(report.status, 0) << report.err;
    json parsed = json::parse(report.out);
    validate_report(parsed);
    std::vector<json> pairs = every_pair(parsed);
    std::sort(pairs.begin(), pairs.end(),
              [](const json &a, const json &b) { return a.at("rank") < b.at("rank"); });

    std::string rebuilt;
    float previous = 2.0f;
    for (const json &pair : pairs) {
        const json &input = pair.at("input");
        const json &output = pair.at("output");
        rebuilt += input.at("file").get<std::string>() + "(" + input.at("line").dump() +
                   "): value \"" + pair.at("value").get<std::string>() + "\" was returned at " +
                   output.at("file").get<std::string>() + "(" + output.at("line").dump() +
                   "), grid column " + output.at("column").dump() + ", row " +
                   output.at("row").dump() + "\n";
        float grade = pair.at("grade").get<float>();
        EXPECT_LE(grade, previous) << "ranked out of grade order at " << pair.at("rank");
        previous = grade;
    }
    EXPECT_EQ(rebuilt, text.out);
}

// The recordset of the example leaves CLERK_ID empty, so TOTAL is the third
// cell with data but the fourth column.
TEST(ReportFormats, ColumnsAreNamedAndPlacedCountingEmptyCells) {
    CommandResult report = run("token " + ORDERS + WEIGHTS + " 900417 Action2.c 19 --format json");
    ASSERT_EQ(report.status, 0) << report.err;
    json parsed = json::parse(report.out);
    const json &pair = parsed.at("entries").at(0);
    EXPECT_EQ(pair.at("output").at("column_name"), "ORDER_ID");
    EXPECT_EQ(pair.at("output").at("column_position"), 1);
    EXPECT_EQ(pair.at("input").at("call"), "sqx_assign_bind");
    EXPECT_EQ(pair.at("input").at("handle"), "Csr5");

    tw_test::TempDir dir;
    std::string project = dir.write("p/total.prj", "[Actions]\na=Action1.c\n");
    std::string script = tw_test::read_file(SOURCE_DIR + "/examples/orders/Action2.c");
    // Send the recordset's TOTAL back after it was returned.
    size_t end = script.find("    return 0;");
    ASSERT_NE(end, std::string::npos);
    script.insert(end, "    sqx_assign_bind(Csr5, \":3\", \"0\", 0);\n");
    dir.write("p/Action1.c", script);
    CommandResult total = run("token " + project + WEIGHTS + " 0 Action1.c 23 --format json");
    ASSERT_EQ(total.status, 0) << total.err << total.out;
    json total_parsed = json::parse(total.out);
    const json &output = total_parsed.at("entries").at(0).at("output");
    EXPECT_EQ(output.at("column"), 3);
    EXPECT_EQ(output.at("column_position"), 4);
    EXPECT_EQ(output.at("column_name"), "TOTAL");
}

TEST(ReportFormats, NothingFoundIsAnEmptyReportWithItsStatus) {
    CommandResult report = run("token " + ORDERS + WEIGHTS + " OPEN Action2.c 12 --format json");
    EXPECT_EQ(report.status, 3);
    json parsed = json::parse(report.out);
    validate_report(parsed);
    EXPECT_EQ(parsed.at("found"), false);
    EXPECT_TRUE(parsed.at("entries").empty());

    CommandResult csv = run("token " + ORDERS + WEIGHTS + " OPEN Action2.c 12 --format csv");
    EXPECT_EQ(csv.status, 3);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1) << "only the header row";
}

TEST(ReportFormats, BadFormatsAndUnwritableReportsAreErrors) {
    struct {
        std::string arguments;
        const char *reason;
    } bad[] = {
        {"find " + ORDERS + " --format xml", "xml"},
        {"plan " + ORDERS + " --format csv", "csv"},
        {"find " + ORDERS + WEIGHTS + " --format json --report /nonexistent/dir/r.json",
         "/nonexistent/dir/r.json"},
    };
    for (const auto &c : bad) {
        CommandResult result = run(c.arguments);
        EXPECT_EQ(result.status, 1) << c.arguments;
        EXPECT_EQ(result.out, "") << c.arguments;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

TEST(ReportFormats, ReportOptionWritesTheFormattedReport) {
    tw_test::TempDir dir;
    std::string path = dir.file("find.csv");
    CommandResult result = run("find " + ORDERS + WEIGHTS + " --format csv --report " + path);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(tw_test::read_file(path), run("find " + ORDERS + WEIGHTS + " --format csv").out);
}

// explain takes the pair apart; its sum must be the grade the search ranked
// the pair with, for every pair the search reports.
TEST(Explain, EqualsTheRankedGradeBitForBitForEveryPair) {
    for (const std::string &project : {ORDERS, ORDERS_ODBC}) {
        std::string db = project == ORDERS_ODBC ? " --db odbc" : "";
        CommandResult report = run("find " + project + WEIGHTS + db + " --format json");
        ASSERT_EQ(report.status, 0) << report.err;
        std::vector<json> pairs = every_pair(json::parse(report.out));
        ASSERT_EQ(pairs.size(), 13u);
        for (const json &pair : pairs) {
            const json &input = pair.at("input");
            const json &output = pair.at("output");
            CommandResult explained = run(
                "explain " + project + WEIGHTS + db + " " + pair.at("value").get<std::string>() +
                " " + input.at("file").get<std::string>() + " " + input.at("line").dump() + " " +
                output.at("file").get<std::string>() + " " + output.at("line").dump() + " --grid " +
                output.at("grid").dump() + " --row " + output.at("row").dump() + " --column " +
                output.at("column").dump());
            ASSERT_EQ(explained.status, 0) << explained.err;
            size_t at = explained.out.rfind("grade: ");
            ASSERT_NE(at, std::string::npos) << explained.out;
            float explained_grade = strtof(explained.out.c_str() + at + 7, nullptr);
            EXPECT_EQ(bits_of(explained_grade), bits_of(pair.at("grade").get<float>()))
                << explained.out;
            // One line per heuristic, each with its share of the grade.
            for (const json &heuristic : pair.at("heuristics")) {
                EXPECT_NE(explained.out.find("\n" + heuristic.at("name").get<std::string>() + " "),
                          std::string::npos)
                    << explained.out;
            }
        }
    }
}

TEST(Explain, UnknownPairsAreErrors) {
    struct {
        std::string arguments;
        const char *reason;
    } bad[] = {
        {"58821 Action2.c 12 Action2.c 14", "no such pair"},
        {"10473 Action1.c 13 Action1.c 9 --row 2", "chosen cell"},
        {"10473 Action9.c 13 Action1.c 9", "Action9.c"},
    };
    for (const auto &c : bad) {
        CommandResult result = run("explain " + ORDERS + WEIGHTS + " " + c.arguments);
        EXPECT_EQ(result.status, 1) << c.arguments;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

// The correlations examples/orders/README.md names, as (value, sent at,
// returned at the line of): the plan must hold exactly these.
const std::set<std::tuple<std::string, std::string, std::string>> README_CORRELATIONS = {
    {"10473", "Action1.c:13", "Action1.c:9"},     {"10473", "Action2.c:18", "Action1.c:9"},
    {"TK-8F3A21", "Action1.c:14", "Action1.c:9"}, {"TK-8F3A21", "Action3.c:28", "Action1.c:9"},
    {"58821", "Action2.c:12", "Action2.c:9"},     {"900417", "Action2.c:19", "Action2.c:14"},
    {"900417", "Action3.c:13", "Action2.c:14"},   {"900417", "Action3.c:20", "Action2.c:14"},
    {"900417", "Action3.c:28", "Action2.c:14"},   {"3301", "Action3.c:15", "Action3.c:9"},
    {"3307", "Action3.c:22", "Action3.c:9"},      {"12.50", "Action3.c:17", "Action3.c:9"},
    {"4.75", "Action3.c:24", "Action3.c:9"},
};

TEST(Plan, ListsExactlyTheExampleCorrelationsGroupedBySource) {
    CommandResult result = run("plan " + ORDERS + WEIGHTS + " --format json");
    ASSERT_EQ(result.status, 0) << result.err;
    json plan = json::parse(result.out);
    EXPECT_TRUE(plan.at("ambiguous").empty());
    std::set<std::tuple<std::string, std::string, std::string>> listed;
    std::vector<std::string> parameters;
    for (const json &rule : plan.at("rules")) {
        parameters.push_back(rule.at("parameter"));
        const json &source = rule.at("source");
        std::string returned =
            source.at("file").get<std::string>() + ":" + source.at("line").dump();
        int previous_line = 0;
        for (const json &use : rule.at("uses")) {
            listed.emplace(use.at("value"),
                           use.at("file").get<std::string>() + ":" + use.at("line").dump(),
                           returned);
            if (use.at("file") == rule.at("uses").at(0).at("file")) {
                EXPECT_GE(use.at("line").get<int>(), previous_line) << "uses not in script order";
                previous_line = use.at("line");
            }
        }
    }
    EXPECT_EQ(listed, README_CORRELATIONS);
    EXPECT_EQ(parameters, (std::vector<std::string>{"USER_ID", "SESSION_TOKEN", "CUST_ID",
                                                    "ORDER_ID", "ITEM_ID", "UNIT_PRICE"}));
}

TEST(Plan, ParameterNamesAreIdentifiersAndUnique) {
    // Two grids whose columns share a name, one of them not an identifier.
    tw_test::TempDir dir;
    std::string project = dir.write("p/p.prj", "[Actions]\na=Action1.c\n");
    dir.write("p/Action1.c",
              "Action1()\n{\n"
              "    sqx_stmt(Csr1, \"SELECT 1\", -1, 1, 0, 0);\n"
              "    sqx_fetch(Csr1, 1, GRID(1));\n"
              "    sqx_stmt(Csr2, \"SELECT 2\", -1, 1, 0, 0);\n"
              "    sqx_fetch(Csr2, 1, GRID(2));\n"
              "    sqx_assign_bind(Csr3, \":1\", \"ZQ-100200\", 0);\n"
              "    sqx_assign_bind(Csr3, \":2\", \"ZQ-300400\", 0);\n"
              "    sqx_assign_bind(Csr3, \":3\", \"ZQ-500600\", 0);\n"
              "    return 0;\n}\n");
    dir.write("p/p.rdf",
              "[grid 1]\n2nd order-id,x\nZQ-100200,a\n\n[grid 2]\n2nd order-id,!!\nZQ-300400,"
              "ZQ-500600\n");
    dir.write("p/p.grd", "1\n2\n");
    CommandResult result = run("plan " + project + WEIGHTS + " --format json");
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::string> parameters;
    json plan = json::parse(result.out);
    for (const json &rule : plan.at("rules")) {
        parameters.push_back(rule.at("parameter"));
    }
    EXPECT_EQ(parameters,
              (std::vector<std::string>{"_2nd_order_id", "_2nd_order_id_2", "grid2_column2"}));
}

// One value returned in three rows of one grid, another returned by two
// grids referenced on the same line, so that neither source grades better.
std::string write_repeats_project(const tw_test::TempDir &dir) {
    std::string project = dir.write("p/a.prj", "[Actions]\na=Action1.c\n");
    dir.write("p/Action1.c",
              "Action1()\n{\n"
              "    sqx_fetch(Csr1, 1, GRID(1));\n"
              "    sqx_fetch(Csr1, 1, GRID(2)); sqx_fetch(Csr2, 1, GRID(3));\n"
              "    sqx_assign_bind(Csr3, \":1\", \"ZQ-77\", 0);\n"
              "    sqx_assign_bind(Csr3, \":2\", \"ZQ-88\", 0);\n"
              "    return 0;\n}\n");
    dir.write("p/a.rdf",
              "[grid 1]\nREF\nZQ-77\nZQ-77\nZQ-77\n\n[grid 2]\nA,CODE\n,ZQ-88\n\n"
              "[grid 3]\nB,CODE\n,ZQ-88\n");
    dir.write("p/a.grd", "1\n2\n3\n");
    return project;
}

TEST(ReportFormats, RepeatedOutputsAreGroupedAndTiesAreAmbiguous) {
    tw_test::TempDir dir;
    std::string project = write_repeats_project(dir);
    CommandResult report = run("find " + project + WEIGHTS + " --format json");
    ASSERT_EQ(report.status, 0) << report.err;
    json parsed = json::parse(report.out);
    validate_report(parsed);
    EXPECT_EQ(parsed.at("pair_count"), 5);
    ASSERT_EQ(parsed.at("entries").size(), 2u);
    for (const json &entry : parsed.at("entries")) {
        const json &ambiguity = entry.at("ambiguity");
        if (entry.at("value") == "ZQ-77") {
            EXPECT_EQ(entry.at("more_count"), 2);
            EXPECT_EQ(entry.at("output").at("row"), 1);
            EXPECT_EQ(entry.at("more").at(0).at("output").at("row"), 2);
            EXPECT_EQ(ambiguity.at("sources"), 3);
            EXPECT_EQ(ambiguity.at("unique_best"), true);
        } else {
            EXPECT_EQ(entry.at("value"), "ZQ-88");
            EXPECT_EQ(ambiguity.at("sources"), 2);
            EXPECT_EQ(ambiguity.at("unique_best"), false);
            ASSERT_EQ(ambiguity.at("best_sources").size(), 2u);
            EXPECT_EQ(ambiguity.at("best_sources").at(0).at("column_position"), 2);
            EXPECT_EQ(ambiguity.at("best_sources").at(0).at("column_name"), "CODE");
        }
    }

    CommandResult plan = run("plan " + project + WEIGHTS);
    ASSERT_EQ(plan.status, 0) << plan.err;
    EXPECT_EQ(plan.out,
              "Correlation plan for a.prj: 1 parameter, 1 sent value, 1 ambiguous\n\n"
              "REF = Action1.c(3), grid 1, column 1 \"REF\", row 1\n"
              "  Action1.c(5) sqx_assign_bind \"ZQ-77\"\n\n"
              "Ambiguous: several sources returned the value with the same best grade\n"
              "  Action1.c(6) sqx_assign_bind \"ZQ-88\"\n"
              "    candidate Action1.c(4), grid 3, column 2 \"CODE\", row 1\n"
              "    candidate Action1.c(4), grid 2, column 2 \"CODE\", row 1\n");

    CommandResult html = run("find " + project + WEIGHTS + " --format html");
    EXPECT_NE(html.out.find("and 2 more"), std::string::npos);
    EXPECT_NE(html.out.find(">ambiguous</span>"), std::string::npos);
}

struct GoldenCase {
    const char *name;
    const char *arguments;
};

void PrintTo(const GoldenCase &c, std::ostream *out) {
    *out << c.arguments;
}

class GoldenReports : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReports, MatchTheirGoldenFiles) {
    const GoldenCase &c = GetParam();
    std::string arguments = c.arguments;
    size_t at = arguments.find("PROJECT");
    std::string project = arguments.find("odbc") != std::string::npos ? ORDERS_ODBC : ORDERS;
    arguments.replace(at, 7, "\"" + project + "\"" + WEIGHTS);
    CommandResult result = run(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    if (std::string(c.name).find(".json") != std::string::npos &&
        std::string(c.name).find("plan") == std::string::npos) {
        validate_report(json::parse(result.out));
    }
    expect_golden(c.name, result.out);
}

INSTANTIATE_TEST_SUITE_P(
    ExampleProjects, GoldenReports,
    testing::Values(GoldenCase{"orders-find.json", "find PROJECT --format json"},
                    GoldenCase{"orders-find.csv", "find PROJECT --format csv"},
                    GoldenCase{"orders-plan.txt", "plan PROJECT"},
                    GoldenCase{"orders-plan.json", "plan PROJECT --format json"},
                    GoldenCase{"orders-cursor.json", "cursor PROJECT Action3.c 25 --format json"},
                    GoldenCase{"orders-odbc-find.json", "find PROJECT --db odbc --format json"},
                    GoldenCase{"orders-odbc-find.csv", "find PROJECT --db odbc --format csv"},
                    GoldenCase{"orders-odbc-plan.txt", "plan PROJECT --db odbc"}),
    [](const testing::TestParamInfo<GoldenCase> &info) {
        std::string name = info.param.name;
        for (char &c : name) {
            if (!isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

}  // namespace
