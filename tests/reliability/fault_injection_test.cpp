// Faults from outside: writes that fail part-way (a file-size limit, a full
// device, a full file system) and reads that fail in the middle of an action
// file or a grid file. Nothing may pass for success, no partial report may
// stay under the report's name, and a failed weights export leaves the old
// file as it was with no temporary file beside it.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "heuristics/float_setting.h"
#include "index/analyser_access.h"
#include "index_dump.h"
#include "test_project.h"
#include "test_support.h"

// Read-error injection: while armed, every reader of the file with the armed
// inode gets one small piece and then fails the way a disk does (the stream's
// descriptor is pointed at a directory, so the next read(2) fails and the
// stream's error flag is set by the C library itself).
namespace read_fault {

ino_t armed_inode = 0;
int reads_seen = 0;
const size_t FIRST_PIECE = 512;

void arm(const std::string &path) {
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    armed_inode = status.st_ino;
    reads_seen = 0;
}

void disarm() {
    armed_inode = 0;
}

bool is_armed_file(FILE *stream) {
    struct stat status;
    return armed_inode != 0 && fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_ino == armed_inode;
}

}  // namespace read_fault

extern "C" size_t fread(void *buffer, size_t size, size_t count, FILE *stream) {
    typedef size_t (*fread_function)(void *, size_t, size_t, FILE *);
    static fread_function real_fread = reinterpret_cast<fread_function>(dlsym(RTLD_NEXT, "fread"));
    if (size == 1 && read_fault::is_armed_file(stream)) {
        ++read_fault::reads_seen;
        if (lseek(fileno(stream), 0, SEEK_CUR) == 0) {
            // A reader that starts on the file gets the piece; unbuffered,
            // so the C library cannot read ahead of it.
            setvbuf(stream, nullptr, _IONBF, 0);
            count = count < read_fault::FIRST_PIECE ? count : read_fault::FIRST_PIECE;
        } else {
            int directory = open("/", O_RDONLY);
            dup2(directory, fileno(stream));
            close(directory);
        }
    }
    return real_fread(buffer, size, count, stream);
}

namespace {

using tw_test::file_exists;
using tw_test::numbered_lines;
using tw_test::QUARTER_GRADE_WEIGHTS;
using tw_test::read_file;
using tw_test::TempDir;
using tw_test::TestProject;

const int QUERY_REPORT_NOT_CREATED = -10;
const int EXPORT_FAILED = -1;
const int EXPORTED = -2;
const char WEIGHTS_TEXT[] = "; kept as it is\n[TokenEvaluatorInputs]\nWeight0=1\n";

// A report or a weights file bigger than this cannot be written.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_limit_);
        old_handler_ = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old_limit_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_limit_);
        signal(SIGXFSZ, old_handler_);
    }

private:
    struct rlimit old_limit_;
    void (*old_handler_)(int);
};

std::vector<std::string> directory_listing(const std::string &directory) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The value 42 returned on line 10 and sent again on line 20.
class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.set_grids("[grid 1]\nA,B,C\nx,y,z\np,q,42\n");
        project.add_action("Action1.c", numbered_lines({{1, "Action1()"},
                                                        {2, "{"},
                                                        {10, "    GRID(1);"},
                                                        {20, "    sqx_assign(C, \"42\");"},
                                                        {21, "}"}}));
        action = project.file("Action1.c");
        analyser = project.build(QUARTER_GRADE_WEIGHTS);
        ASSERT_NE(analyser, nullptr);
    }

    // The three queries that write reports, each finding the pair.
    std::vector<std::pair<const char *, std::function<int(const std::string &)>>> queries() {
        return {
            {"InputTokenQuery",
             [this](const std::string &path) {
                 return analyser->InputTokenQuery("42", action.c_str(), 20, path.c_str(), 0.0f);
             }},
            {"CursorQuery",
             [this](const std::string &path) {
                 return analyser->CursorQuery(action.c_str(), 20, path.c_str(), 0.0f);
             }},
            {"FindCorrelations",
             [this](const std::string &path) {
                 return analyser->FindCorrelations(path.c_str(), 0.0f, 10);
             }},
        };
    }

    TestProject project;
    std::string action;
    std::unique_ptr<CCorrelationAnalyser> analyser;
};

TEST_F(FaultTest, ReportCutShortIsRemovedAndGivesMinusTen) {
    for (const auto &[name, query] : queries()) {
        SCOPED_TRACE(name);
        std::string report = project.file("report.txt");
        project.add_file("report.txt", "an older report");
        int code;
        {
            FileSizeLimit limit(16);
            code = query(report);
        }
        EXPECT_EQ(code, QUERY_REPORT_NOT_CREATED);
        EXPECT_FALSE(file_exists(report));
        // Without the limit the same query writes its report.
        int unlimited = query(report);
        EXPECT_TRUE(unlimited == 0 || unlimited == -7) << unlimited;
        EXPECT_FALSE(read_file(report).empty());
    }
}

TEST_F(FaultTest, ReportOnAFullDeviceGivesMinusTenAndLeavesTheDevice) {
    struct stat before;
    if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
        GTEST_SKIP() << "no /dev/full";
    }
    for (const auto &[name, query] : queries()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(query("/dev/full"), QUERY_REPORT_NOT_CREATED);
        struct stat after;
        ASSERT_EQ(stat("/dev/full", &after), 0);
        EXPECT_TRUE(S_ISCHR(after.st_mode));
    }
}

TEST_F(FaultTest, WeightsExportThatFailsLeavesTheOldFileAndNoTemporary) {
    TempDir directory;
    std::string weights = directory.write("crlt.dat", WEIGHTS_TEXT);
    int code;
    {
        FileSizeLimit limit(sizeof WEIGHTS_TEXT);
        code = analyser->ExportDatFile(weights.c_str());
    }
    EXPECT_EQ(code, EXPORT_FAILED);
    EXPECT_EQ(read_file(weights), WEIGHTS_TEXT);
    EXPECT_EQ(directory_listing(directory.path()), std::vector<std::string>{"crlt.dat"});
    EXPECT_EQ(analyser->ExportDatFile(weights.c_str()), EXPORTED);
}

// A device is no weights file: writing "to" /dev/full must neither succeed
// nor replace the device node with a regular file; reading settings from an
// endless device must give the defaults instead of reading forever.
TEST_F(FaultTest, DevicesAreNeitherReplacedNorReadForever) {
    struct stat before;
    if (getuid() != 0 || stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) {
        GTEST_SKIP() << "needs root and /dev/full (only root could replace it)";
    }
    EXPECT_EQ(analyser->ExportDatFile("/dev/full"), EXPORT_FAILED);
    struct stat after;
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(ReadFloatSetting("Correlated Queries", "Learning Speed Factor", 0.08f, "/dev/zero"),
              0.08f);
}

// A small file system of our own, filled to the last block.
class FullFileSystem {
public:
    FullFileSystem() {
        mount_point_ = directory_.file("mnt");
        std::filesystem::create_directory(mount_point_);
        std::string command = "mount -t tmpfs -o size=64k tmpfs '" + mount_point_ + "' 2>/dev/null";
        mounted_ = getuid() == 0 && system(command.c_str()) == 0;
    }
    ~FullFileSystem() {
        if (mounted_) {
            std::string command = "umount '" + mount_point_ + "'";
            if (system(command.c_str()) != 0) {
                ADD_FAILURE() << "cannot unmount " << mount_point_;
            }
        }
    }
    bool mounted() const { return mounted_; }
    std::string file(const std::string &name) const { return mount_point_ + "/" + name; }
    // Writes until the file system refuses more.
    void fill() const {
        FILE *filler = fopen(file("filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        std::vector<char> block(4096, 'x');
        while (fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               fflush(filler) == 0) {
        }
        fclose(filler);
    }

private:
    TempDir directory_;
    std::string mount_point_;
    bool mounted_ = false;
};

TEST_F(FaultTest, FullFileSystemFailsReportsAndExportsCleanly) {
    FullFileSystem full;
    if (!full.mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    }
    std::string weights = full.file("crlt.dat");
    ASSERT_EQ(analyser->ExportDatFile(weights.c_str()), EXPORTED);
    std::string exported = read_file(weights);
    full.fill();
    for (const auto &[name, query] : queries()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(query(full.file("report.txt")), QUERY_REPORT_NOT_CREATED);
        EXPECT_FALSE(file_exists(full.file("report.txt")));
    }
    analyser->IncreaseGrade("42", action.c_str(), 20, action.c_str(), 10);
    EXPECT_EQ(analyser->ExportDatFile(weights.c_str()), EXPORT_FAILED);
    EXPECT_EQ(read_file(weights), exported);
    EXPECT_EQ(directory_listing(full.file("")), (std::vector<std::string>{"crlt.dat", "filler"}));
}

// A read error ends the scan where it happened: what was read before it is
// in the index, nothing after it, and the build still succeeds.
TEST(ReadFaults, ReadErrorInTheMiddleOfAnActionFileKeepsWhatWasRead) {
    TestProject project;
    project.set_grids("[grid 1]\nV\nearly\nlate\n");
    std::string filler(40, ' ');
    std::vector<std::pair<int, std::string>> lines = {
        {1, "Action1()"}, {2, "{"}, {3, "    GRID(1);"}, {4, "    sqx_assign(C, \"early\");"}};
    for (int line = 5; line < 400; ++line) {
        lines.push_back({line, "    //" + filler});
    }
    lines.push_back({400, "    sqx_assign(C, \"late\");"});
    lines.push_back({401, "}"});
    project.add_action("Action1.c", numbered_lines(lines));
    std::string action = project.file("Action1.c");
    read_fault::arm(action);
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    read_fault::disarm();
    ASSERT_NE(analyser, nullptr);
    EXPECT_GE(read_fault::reads_seen, 2);
    std::string dump = tw_test::DumpIndex(analyser_index(analyser.get()));
    EXPECT_NE(dump.find("early in "), std::string::npos) << dump;
    EXPECT_EQ(dump.find("late in "), std::string::npos) << dump;
    // The grid before the error was read whole.
    EXPECT_NE(dump.find("late out "), std::string::npos) << dump;
}

TEST(ReadFaults, ReadErrorInAGridFileRecordsNoCellOfIt) {
    TestProject project;
    std::string rdf = "[grid 1]\nV\n";
    for (int row = 0; row < 400; ++row) {
        rdf += "cell" + std::to_string(row) + "\n";
    }
    project.set_grids(rdf);
    project.add_action("Action1.c", numbered_lines({{1, "Action1()"},
                                                    {2, "{"},
                                                    {3, "    GRID(1);"},
                                                    {4, "    sqx_assign(C, \"cell0\");"},
                                                    {5, "}"}}));
    std::string action = project.file("Action1.c");
    std::string report = project.file("report.txt");

    read_fault::arm(project.file("grids.rdf"));
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    read_fault::disarm();
    ASSERT_NE(analyser, nullptr);
    EXPECT_GE(read_fault::reads_seen, 1);
    EXPECT_EQ(analyser->InputTokenQuery("cell0", action.c_str(), 4, report.c_str(), 0.0f), -7);
}

}  // namespace
