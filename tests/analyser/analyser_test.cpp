// The exported class: its lifecycle, result codes, progress protocol and
// the weights file.

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "analyser/data_file_path.h"
#include "containers/list.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::numbered_lines;
using tw_test::ProgressLog;
using tw_test::QUARTER_GRADE_WEIGHTS;
using tw_test::read_file;
using tw_test::TestProject;
using tw_test::with_progress;

// A project of many lines, so that scanning reports progress many times.
std::string many_values(int count) {
    std::string text = "Action()\n{\n";
    for (int i = 0; i < count; ++i) {
        text += "    sqx_assign(C, \"v" + std::to_string(i) + "\");\n";
    }
    return text + "}\n";
}

TEST(AnalyserLifecycle, MethodsBeforeBuildIndexReturnNotBuilt) {
    CCorrelationAnalyser analyser("/nonexistent/project.prj", "", nullptr, nullptr);
    EXPECT_EQ(analyser.InputTokenQuery("1", "a.c", 1, "/tmp/r", 0.0f), -4);
    EXPECT_EQ(analyser.CursorQuery("a.c", 1, "/tmp/r", 0.0f), -4);
    EXPECT_EQ(analyser.FindCorrelations("/tmp/r", 0.0f, 10), -4);
    EXPECT_EQ(analyser.IncreaseGrade("1", "a.c", 1, "a.c", 1), -4);
    EXPECT_EQ(analyser.DecreaseGrade("1", "a.c", 1, "a.c", 1), -4);
    EXPECT_EQ(analyser.ExportDatFile(), -4);
    EXPECT_EQ(analyser.ExportDatFile("/tmp/x.dat"), -4);
    analyser.AnalyseIndex();  // nothing to analyse, nothing happens
    EXPECT_EQ(analyser.OutputTokenQuery("1", "a.c", 1, "/tmp/r", 0.0f), 0);
    EXPECT_EQ(analyser.ResetStopList(), 0);

    token_instances_t instances{};
    token_entry_tag output{};
    token_entry_tag input{};
    instances.best_grade = 0.5f;
    EXPECT_EQ(analyser.EvaluateToken(&instances, &output, &input), 0.0f);
    EXPECT_EQ(instances.best_grade, 0.5f);
}

TEST(AnalyserLifecycle, SecondBuildIndexChangesNothing) {
    TestProject project;
    project.add_action("A.c", "A()\n{\n sqx_assign(C, \"x\");\n}\n");
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    correlation_index *index = analyser_index(analyser.get());
    EXPECT_EQ(analyser->BuildIndex(), -1);
    EXPECT_EQ(analyser_index(analyser.get()), index);
    EXPECT_NE(find_token_instances(index, "x"), nullptr);
}

TEST(AnalyserLifecycle, ProjectWithoutActionsUsesInitC) {
    TestProject project;
    project.add_file("init.c", "A()\n{\n sqx_assign(C, \"from-init\");\n}\n")
        .add_file("project.ini", "[General]\nName=x\n");
    std::string project_file = project.file("project.ini");
    CCorrelationAnalyser analyser(project_file.c_str(), "", nullptr, nullptr);
    analyser.SetDataFilePath(project.write_weights(QUARTER_GRADE_WEIGHTS).c_str());
    EXPECT_EQ(analyser.BuildIndex(), 0);
    correlation_index *index = analyser_index(&analyser);
    EXPECT_EQ(action_file_count(index), 1);
    EXPECT_EQ(std::string(index->file_paths[0]), project.directory() + "/init.c");
    EXPECT_NE(find_token_instances(index, "from-init"), nullptr);
}

TEST(AnalyserLifecycle, OverlongConstructorTextsAreCut) {
    // Each text overflows its member; under the address sanitizer any
    // unbounded copy would be caught here.
    std::string long_path(5000, 'p');
    std::string long_type = "odbc" + std::string(400, 'x');
    CCorrelationAnalyser analyser(long_path.c_str(), long_path.c_str(), nullptr, nullptr,
                                  long_type.c_str(), long_path.c_str());
    EXPECT_EQ(std::string(analyser_database_type(&analyser)).size(), 255u);
    EXPECT_EQ(std::string(analyser_grid_settings_path(&analyser)).size(), 259u);
    EXPECT_EQ(std::string(analyser_settings_path(&analyser)).size(), 1023u);
    EXPECT_FALSE(analyser_is_odbc(&analyser));
    analyser.SetDataFilePath(long_path.c_str());
    EXPECT_EQ(analyser.BuildIndex(), 0);
}

TEST(AnalyserLifecycle, NullDatabaseTypeMeansOracle) {
    CCorrelationAnalyser six("p.prj", "", nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ(analyser_database_type(&six), "oracle");
    EXPECT_STREQ(analyser_grid_settings_path(&six), "");
    CCorrelationAnalyser four("p.prj", "", nullptr, nullptr);
    EXPECT_STREQ(analyser_database_type(&four), "oracle");
    CCorrelationAnalyser capitals("p.prj", "", nullptr, nullptr, "ODBC", "");
    EXPECT_TRUE(analyser_is_odbc(&capitals));
}

int calls_without_user_data = 0;
int count_call(void *user_data, float) {
    EXPECT_EQ(user_data, nullptr);
    ++calls_without_user_data;
    return 0;
}

TEST(AnalyserProgress, NoCallbackOrNullUserDataNeverCancels) {
    TestProject project;
    project.add_action("A.c", many_values(500));

    auto silent = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(silent, nullptr);
    EXPECT_NE(find_token_instances(analyser_index(silent.get()), "v499"), nullptr);

    calls_without_user_data = 0;
    auto without_user_data =
        project.build(QUARTER_GRADE_WEIGHTS, with_progress(count_call, nullptr));
    ASSERT_NE(without_user_data, nullptr);
    EXPECT_NE(find_token_instances(analyser_index(without_user_data.get()), "v499"), nullptr);
    EXPECT_GT(calls_without_user_data, 50);
}

TEST(AnalyserProgress, ReportsGrowingFractionsAndHonoursCancellation) {
    TestProject project;
    project.add_action("A.c", many_values(500));
    ProgressLog log;
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS, with_progress(ProgressLog::record, &log));
    ASSERT_NE(analyser, nullptr);
    ASSERT_FALSE(log.values.empty());
    for (size_t i = 1; i < log.values.size(); ++i) {
        EXPECT_GT(log.values[i], log.values[i - 1]);
        EXPECT_GT(log.values[i] - log.values[i - 1], 0.01f);
    }
    EXPECT_LE(log.values.back(), 1.0f);

    ProgressLog cancelling;
    cancelling.answer = -1;
    auto cancelled =
        project.build(QUARTER_GRADE_WEIGHTS, with_progress(ProgressLog::record, &cancelling));
    ASSERT_NE(cancelled, nullptr);  // BuildIndex still returns 0
    EXPECT_EQ(cancelling.values.size(), 1u);
    correlation_index *index = analyser_index(cancelled.get());
    EXPECT_NE(find_token_instances(index, "v0"), nullptr);
    EXPECT_EQ(find_token_instances(index, "v499"), nullptr);
}

TEST(DataFilePath, SitsBesideTheExecutableInDat) {
    char path[DATA_FILE_PATH_SIZE];
    compute_data_file_path(path, sizeof path);
    std::string text(path);
#if defined(_WIN32)
    const std::string beside = "\\..\\dat\\crlt.dat";
#else
    const std::string beside = "/../dat/crlt.dat";
#endif
    ASSERT_GT(text.size(), beside.size()) << text;
    EXPECT_EQ(text.rfind(beside), text.size() - beside.size()) << text;

    char small[8];
    compute_data_file_path(small, sizeof small);
    EXPECT_STREQ(small, "");
}

// A value sent in one file after a grid in another returned it; weights
// under which the type input is 1.0 and the length input 0.5 for that pair
// and every other input is 0 (or, for the frequency input, negligible).
class LearningTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.set_grids("[grid 1]\nV\n12345\n");
        project.add_action("A1.c", "A1()\n{\n GRID(1);\n}\n")
            .add_action("A2.c", "A2()\n{\n sqx_assign(C, \"12345\");\n}\n");
        output_file = project.file("A1.c");
        input_file = project.file("A2.c");
        weights = project.write_weights(ZERO_WEIGHTS);
        settings = project.file("settings.ini");
        analyser = std::make_unique<CCorrelationAnalyser>(project.project_path().c_str(),
                                                          settings.c_str(), nullptr, nullptr);
        analyser->SetDataFilePath(weights.c_str());
        ASSERT_EQ(analyser->BuildIndex(), 0);
    }

    float grade() {
        correlation_index *index = analyser_index(analyser.get());
        token_instances_t *instances = find_token_instances(index, "12345");
        list_node *head = list_head(instances->occurrences);
        token_entry_tag *output = static_cast<token_entry_tag *>(head->data);
        token_entry_tag *input = static_cast<token_entry_tag *>(head->next->data);
        return analyser->EvaluateToken(instances, output, input);
    }

    int increase() {
        return analyser->IncreaseGrade("12345", input_file.c_str(), 3, output_file.c_str(), 3);
    }
    int decrease() {
        return analyser->DecreaseGrade("12345", input_file.c_str(), 3, output_file.c_str(), 3);
    }

    std::string exported_weights() {
        std::string path = project.file("exported.dat");
        EXPECT_EQ(analyser->ExportDatFile(path.c_str()), -2);
        return read_file(path);
    }

    static constexpr const char *ZERO_WEIGHTS =
        "[TokenType]\nNumberWeight=1\nStringWeight=0\nDbIdWeight=0\nOtherWeight=0\n"
        "[TokenFrequency]\nMaxFrequency=1e30\n"
        "[InputOutput]\nin=0\nout=0\n"
        "[TokenGridFrequency]\nMaxFrequency=0\n"
        "[TokenGridRow]\nMaxRow=0\n";

    TestProject project;
    std::string output_file;
    std::string input_file;
    std::string weights;
    std::string settings;
    std::unique_ptr<CCorrelationAnalyser> analyser;
};

TEST_F(LearningTest, IncreaseThenDecreaseFollowsTheWorkedExample) {
    EXPECT_EQ(grade(), 0.0f);
    ASSERT_EQ(increase(), 0);
    EXPECT_NEAR(grade(), 0.8333f, 0.0001f);
    std::string written = exported_weights();
    EXPECT_NE(written.find("Weight0=0.080"), std::string::npos) << written;
    EXPECT_NE(written.find("Weight1=0.040"), std::string::npos) << written;
    EXPECT_NE(written.find("Input5=InputOutput"), std::string::npos) << written;
    ASSERT_EQ(decrease(), 0);
    EXPECT_EQ(grade(), 0.0f);
    written = exported_weights();
    EXPECT_NE(written.find("Weight0=0.000"), std::string::npos) << written;
    EXPECT_NE(written.find("Weight1=0.000"), std::string::npos) << written;
}

TEST_F(LearningTest, RateIsReadFromTheSettingsFileAtEveryCall) {
    project.add_file("settings.ini", "[Correlated Queries]\nLearning Speed Factor=0.5\n");
    ASSERT_EQ(increase(), 0);
    EXPECT_NE(exported_weights().find("Weight0=0.500"), std::string::npos);
    project.add_file("settings.ini", "[Correlated Queries]\nLearning Speed Factor=0.1\n");
    ASSERT_EQ(increase(), 0);
    std::string written = exported_weights();
    EXPECT_NE(written.find("Weight0=0.600"), std::string::npos) << written;
    EXPECT_NE(written.find("Weight1=0.300"), std::string::npos) << written;
}

TEST_F(LearningTest, UnknownPairChangesNothing) {
    EXPECT_EQ(analyser->IncreaseGrade("12345", input_file.c_str(), 4, output_file.c_str(), 3), -3);
    EXPECT_EQ(analyser->IncreaseGrade("12345", output_file.c_str(), 3, output_file.c_str(), 3), -3);
    EXPECT_EQ(analyser->IncreaseGrade("99999", input_file.c_str(), 3, output_file.c_str(), 3), -3);
    EXPECT_EQ(analyser->DecreaseGrade(nullptr, input_file.c_str(), 3, output_file.c_str(), 3), -3);
    EXPECT_EQ(grade(), 0.0f);
}

TEST_F(LearningTest, ExportKeepsOtherSectionsAndReportsFailures) {
    ASSERT_EQ(increase(), 0);
    // ExportDatFile() writes where SetDataFilePath pointed: the file read.
    EXPECT_EQ(analyser->ExportDatFile(), -2);
    std::string written = read_file(weights);
#if defined(_WIN32)
    // The system's profile function writes its own line breaks.
    std::vector<std::string> kept = tw_test::profile_contents(ZERO_WEIGHTS);
    std::vector<std::string> now = tw_test::profile_contents(written);
    ASSERT_GE(now.size(), kept.size()) << written;
    EXPECT_EQ(kept, std::vector<std::string>(now.begin(), now.begin() + kept.size())) << written;
#else
    EXPECT_EQ(written.find(ZERO_WEIGHTS), 0u) << written;
#endif
    EXPECT_NE(written.find("[TokenEvaluatorInputs]"), std::string::npos);

    EXPECT_EQ(analyser->ExportDatFile(project.file("missing/dir/w.dat").c_str()), -1);
    EXPECT_EQ(analyser->ExportDatFile(""), -1);
    EXPECT_EQ(analyser->ExportDatFile(nullptr), -1);
}

TEST_F(LearningTest, ExportedWeightsReadBackWithinRounding) {
    project.add_file("settings.ini", "[Correlated Queries]\nLearning Speed Factor=0.0123\n");
    ASSERT_EQ(increase(), 0);
    ASSERT_EQ(analyser->ExportDatFile(), -2);
    float learned = grade();
    CCorrelationAnalyser reread(project.project_path().c_str(), settings.c_str(), nullptr, nullptr);
    reread.SetDataFilePath(weights.c_str());
    ASSERT_EQ(reread.BuildIndex(), 0);
    correlation_index *index = analyser_index(&reread);
    token_instances_t *instances = find_token_instances(index, "12345");
    list_node *head = list_head(instances->occurrences);
    float reread_grade = reread.EvaluateToken(instances, static_cast<token_entry_tag *>(head->data),
                                              static_cast<token_entry_tag *>(head->next->data));
    // 0.0123 and 0.00615 are stored as 0.012 and 0.006: the grade moves a
    // little, the weights each by less than 0.0005.
    EXPECT_NEAR(reread_grade, learned, 0.05f);
    std::string written = read_file(weights);
    EXPECT_NE(written.find("Weight0=0.012"), std::string::npos) << written;
    EXPECT_NE(written.find("Weight1=0.006"), std::string::npos) << written;
}

TEST_F(LearningTest, EvaluateTokenKeepsTheBestGrade) {
    ASSERT_EQ(increase(), 0);
    correlation_index *index = analyser_index(analyser.get());
    token_instances_t *instances = find_token_instances(index, "12345");
    instances->best_grade = 0.0f;
    float first = grade();
    EXPECT_EQ(instances->best_grade, first);
    instances->best_grade = 2.0f;
    EXPECT_EQ(grade(), first);
    EXPECT_EQ(instances->best_grade, 2.0f);
}

TEST(AnalyserQueries, FindCorrelationsNeedsNoAnalysisFirst) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n42\n");
    project.add_action(
        "A.c",
        numbered_lines(
            {{1, "A()"}, {2, "{"}, {3, " GRID(1);"}, {4, " sqx_assign(C, \"42\");"}, {5, "}"}}));
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("r.txt");
    EXPECT_EQ(analyser->FindCorrelations(report.c_str(), 0.0f, 5), 0);
    EXPECT_EQ(tw_test::read_report(report),
              "A.c(4): value \"42\" was returned at A.c(3), grid column 1, row 1\n");
}

}  // namespace
