// The HTML report: complete without script, escaped wherever project text
// lands, and rendered by a real browser (Debian's chromium, headless) with
// every pair row, the marked grid cell and the nine bars of each pair. A
// recorded value that is markup must show as text and run nothing.

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

const std::string SOURCE_DIR = TOKENWEAVE_SOURCE_DIR;
const std::string WEIGHTS = " --weights \"" + SOURCE_DIR + "/dat/crlt.dat\"";
const int HEURISTIC_COUNT = 9;
// A headless page load takes a second or two; a hung browser must not hang
// the suite.
const char BROWSER_TIMEOUT_SECONDS[] = "120";

// Values that would run script if they reached the page unescaped: as
// element text, and as an attribute value closing its quote.
const char SCRIPT_VALUE[] = "<script>document.body.setAttribute('data-pwned','script')</script>";
const char IMAGE_VALUE[] =
    "\\\"><img src=x onerror=document.body.setAttribute('data-pwned','img')>";

int count(const std::string &text, const std::string &part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

// A project whose grid returns both values, with markup in a column name,
// and whose script sends them back.
std::string write_hostile_project(const tw_test::TempDir &dir) {
    std::string project = dir.write("p/evil.prj", "[Actions]\na=Action1.c\n");
    dir.write("p/Action1.c",
              std::string("Action1()\n{\n"
                          "    sqx_stmt(Csr1, \"SELECT a, b FROM t\", -1, 1, 0, 0);\n"
                          "    sqx_exec(Csr1, 0, 0);\n"
                          "    sqx_fetch(Csr1, 1, GRID(1));\n"
                          "    sqx_assign_bind(Csr2, \":1\", \"") +
                  SCRIPT_VALUE + "\", 0);\n    sqx_assign_bind(Csr2, \":2\", \"" + IMAGE_VALUE +
                  "\", 0);\n    sqx_exec(Csr2, 0, 0);\n}\n");
    // CSV quoting: the second cell holds \"><img ...> (a quote doubled).
    dir.write("p/evil.rdf",
              std::string("[grid 1]\n<b>A</b>,\"\"\"><i>B\"\n\"") + SCRIPT_VALUE +
                  "\",\"\\\"\"><img src=x onerror=document.body.setAttribute('data-pwned','img')>"
                  "\"\n");
    dir.write("p/evil.grd", "1\n");
    return project;
}

std::string html_of(const std::string &arguments, const std::string &path) {
    std::string ignored;
    int status = tw_test::run_command(std::string("\"") + TOKENWEAVE_CLI_PATH + "\" " + arguments +
                                          WEIGHTS + " --format html --report \"" + path + "\"",
                                      &ignored);
    EXPECT_EQ(status, 0) << arguments;
    return tw_test::read_file(path);
}

// The page's DOM after load, as chromium serialises it; empty, with the
// test skipped, when chromium is not installed.
bool chromium_available() {
    std::string ignored;
    return tw_test::run_command("command -v chromium >/dev/null 2>&1", &ignored) == 0;
}

std::string rendered_dom(const std::string &page) {
    tw_test::TempDir profile;
    std::string dom;
    int status = tw_test::run_command(
        std::string("timeout ") + BROWSER_TIMEOUT_SECONDS +
            " chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
            "--disable-background-networking --disable-component-update --disable-sync "
            "--user-data-dir=\"" +
            profile.path() + "\" --dump-dom \"file://" + page + "\" 2>/dev/null",
        &dom);
    EXPECT_EQ(status, 0) << "chromium failed to render " << page;
    return dom;
}

TEST(HtmlReport, EverythingIsInTheMarkupAndProjectTextIsEscaped) {
    tw_test::TempDir dir;
    std::string orders =
        html_of("find \"" + SOURCE_DIR + "/examples/orders/orders.prj\"", dir.file("orders.html"));
    EXPECT_EQ(count(orders, "<tr class=\"pair\""), 13);
    EXPECT_EQ(count(orders, "<td class=\"matched\">"), 13);
    EXPECT_EQ(count(orders, "<div class=\"bar\""), 13 * HEURISTIC_COUNT);
    EXPECT_EQ(count(orders, "<details>"), 13);
    // Self-contained: nothing is loaded from elsewhere.
    EXPECT_EQ(count(orders, "src="), 0);
    EXPECT_EQ(count(orders, "href="), 0);

    std::string hostile =
        html_of("find \"" + write_hostile_project(dir) + "\"", dir.file("evil.html"));
    EXPECT_EQ(count(hostile, "<script"), 1) << "only the filter script";
    EXPECT_EQ(count(hostile, "<img"), 0);
    EXPECT_EQ(count(hostile, "<b>"), 0);
    EXPECT_GT(count(hostile, "&lt;script&gt;document.body"), 0);
    EXPECT_GT(count(hostile, "&quot;&gt;&lt;img src=x"), 0);
    EXPECT_GT(count(hostile, "<th>&lt;b&gt;A&lt;/b&gt;</th>"), 0);
}

TEST(HtmlReportInBrowser, ShowsEveryPairTheMarkedCellAndTheNineBars) {
    if (!chromium_available()) {
        GTEST_SKIP() << "chromium is not installed (scripts/setup.sh installs it): the HTML "
                        "report was NOT rendered in a browser";
    }
    tw_test::TempDir dir;
    std::string page = dir.file("orders.html");
    html_of("find \"" + SOURCE_DIR + "/examples/orders/orders.prj\"", page);
    std::string dom = rendered_dom(page);
    EXPECT_EQ(count(dom, "<tr class=\"pair\""), 13) << dom;
    EXPECT_EQ(count(dom, "<td class=\"matched\">"), 13);
    EXPECT_EQ(count(dom, "<div class=\"bar\""), 13 * HEURISTIC_COUNT);
    EXPECT_GT(count(dom, "<td class=\"matched\">TK-8F3A21</td>"), 0);
    // The script ran: it shows the filters that are hidden without it.
    EXPECT_EQ(count(dom, "<div class=\"filters\">"), 1);
}

TEST(HtmlReportInBrowser, RecordedMarkupShowsAsTextAndRunsNothing) {
    if (!chromium_available()) {
        GTEST_SKIP() << "chromium is not installed (scripts/setup.sh installs it): the HTML "
                        "report was NOT rendered in a browser";
    }
    tw_test::TempDir dir;
    std::string page = dir.file("evil.html");
    html_of("find \"" + write_hostile_project(dir) + "\"", page);
    std::string dom = rendered_dom(page);
    ASSERT_GT(count(dom, "<tr class=\"pair\""), 1) << dom;
    EXPECT_EQ(count(dom, "data-pwned=\""), 0) << "a recorded value ran as script";
    EXPECT_EQ(count(dom, "<img"), 0);
    EXPECT_EQ(count(dom, "<b>"), 0);
    EXPECT_GT(count(dom, "&lt;script&gt;document.body.setAttribute('data-pwned','script')"), 0);
    EXPECT_GT(count(dom, "\"&gt;&lt;img src=x onerror="), 0);
}

}  // namespace
