// Two analysers on two threads: index building waits its turn, so each
// index comes out exactly as when built alone, and the queries of different
// analysers run side by side with the reports they write alone. Built with
// ThreadSanitizer (scripts/tsan.sh) the same test also shows that nothing
// else is shared without synchronisation.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "index/analyser_access.h"
#include "index_dump.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::numbered_lines;
using tw_test::read_file;
using tw_test::TestProject;

const int ROUNDS = 4;
const int ACTION_LINES = 300;
// Each progress report pauses the build, so that two builds left to run
// freely would overlap for certain.
const std::chrono::microseconds PAUSE_PER_REPORT(300);

int pause_on_progress(void *, float) {
    std::this_thread::sleep_for(PAUSE_PER_REPORT);
    return 0;
}

// A project big enough that two unsynchronised builds would overlap: values
// returned by grids and sent again, under handles that the recorder pairs.
std::string action_text(const std::string &prefix, int lines) {
    std::vector<std::pair<int, std::string>> text = {{1, "Action()"}, {2, "{"}};
    for (int line = 3; line < lines; ++line) {
        std::string value = prefix + std::to_string(line % 17);
        if (line % 5 == 0) {
            text.push_back(
                {line, "    sqx_fetch(Csr1, 1, GRID(" + std::to_string(1 + line % 3) + "));"});
        } else if (line % 5 == 1) {
            text.push_back({line, "    sqx_stmt(Csr" + std::to_string(line % 4) +
                                      ", \"select a from t where b = '" + value +
                                      "' and c = " + std::to_string(line) + "\", -1, 1, 0, 0);"});
        } else if (line % 5 == 2) {
            text.push_back({line, "    sqx_bind_placeholder(Csr2, \":1\", Csr" +
                                      std::to_string(line % 4) + ");"});
        } else {
            text.push_back({line, "    sqx_assign_bind(Csr" + std::to_string(line % 4) +
                                      ", \":1\", \"" + value + "\", 0); sqx_exec(Csr1, 0, 0);"});
        }
    }
    text.push_back({lines, "}"});
    return numbered_lines(text);
}

std::string grids_text(const std::string &prefix) {
    std::string rdf;
    for (int grid = 1; grid <= 3; ++grid) {
        rdf += "[grid " + std::to_string(grid) + "]\nA,B\n";
        for (int row = 0; row < 12; ++row) {
            rdf += prefix + std::to_string((row * grid) % 17) + "," + std::to_string(row) + "\n";
        }
    }
    return rdf;
}

struct Outcome {
    std::string dump;
    std::string search_report;
    std::string cursor_report;
};

class SideBySide {
public:
    SideBySide(const std::string &prefix, const char *database) : database_(database) {
        project_.set_grids(grids_text(prefix));
        project_.add_action("Action1.c", action_text(prefix, ACTION_LINES));
        project_.add_action("Action2.c", action_text(prefix + "x", ACTION_LINES / 2));
        action_ = project_.file("Action1.c");
    }

    // Builds, dumps and queries a fresh analyser; report files are this
    // project's own, named by the caller.
    Outcome Run(const std::string &report_name) {
        Outcome outcome;
        tw_test::BuildOptions options;
        options.database = database_;
        options.callback = pause_on_progress;
        options.user_data = &user_data_;
        auto analyser = project_.build(tw_test::QUARTER_GRADE_WEIGHTS, options);
        if (analyser == nullptr) {
            return outcome;
        }
        outcome.dump = tw_test::DumpIndex(analyser_index(analyser.get()));
        std::string report = project_.file(report_name);
        analyser->AnalyseIndex();
        analyser->FindCorrelations(report.c_str(), 0.0f, 200);
        outcome.search_report = read_file(report);
        analyser->CursorQuery(action_.c_str(), 24, report.c_str(), 0.0f);
        outcome.cursor_report = read_file(report);
        return outcome;
    }

private:
    TestProject project_;
    std::string action_;
    const char *database_;
    int user_data_ = 0;
};

TEST(ConcurrentBuild, EachIndexAndReportEqualsTheOneBuiltAlone) {
    SideBySide oracle("v", "oracle");
    SideBySide odbc("w", "odbc");
    Outcome oracle_alone = oracle.Run("alone.txt");
    Outcome odbc_alone = odbc.Run("alone.txt");
    ASSERT_FALSE(oracle_alone.dump.empty());
    ASSERT_EQ(oracle_alone.dump.find("!!"), std::string::npos) << oracle_alone.dump;
    ASSERT_NE(oracle_alone.dump, odbc_alone.dump);
    ASSERT_FALSE(oracle_alone.search_report.empty());

    for (int round = 0; round < ROUNDS; ++round) {
        SCOPED_TRACE(round);
        Outcome oracle_together;
        Outcome odbc_together;
        std::atomic<int> ready{0};
        auto start_together = [&ready] {
            ++ready;
            while (ready.load() < 2) {
                std::this_thread::yield();
            }
        };
        std::thread first([&] {
            start_together();
            oracle_together = oracle.Run("together.txt");
        });
        std::thread second([&] {
            start_together();
            odbc_together = odbc.Run("together.txt");
        });
        first.join();
        second.join();
        EXPECT_EQ(oracle_together.dump, oracle_alone.dump);
        EXPECT_EQ(odbc_together.dump, odbc_alone.dump);
        EXPECT_EQ(oracle_together.search_report, oracle_alone.search_report);
        EXPECT_EQ(odbc_together.search_report, odbc_alone.search_report);
        EXPECT_EQ(oracle_together.cursor_report, oracle_alone.cursor_report);
        EXPECT_EQ(odbc_together.cursor_report, odbc_alone.cursor_report);
    }
}

}  // namespace
