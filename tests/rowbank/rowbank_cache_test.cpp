// The per-source index cache: reuse for unchanged files, fresh reads for
// changed ones, bounded size.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "rowbank/grid_source_index.h"
#include "rowbank/rowbank.h"
#include "rowbank_test_support.h"
#include "test_support.h"

namespace {

using tw_test::missing_grid;
using tw_test::opened_grid;
using tw_test::read_grid;

// Rewrites path with contents and gives it back the modification time it
// had, as a coarse file-system clock or a copy preserving times would.
void rewrite_keeping_time(const tw_test::TempDir &dir, const std::string &name,
                          const std::string &contents) {
    std::string path = dir.file(name);
    std::filesystem::file_time_type before = std::filesystem::last_write_time(path);
    dir.write(name, contents);
    std::filesystem::last_write_time(path, before);
}

void move_modification_time(const std::string &path, int seconds) {
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(seconds));
}

TEST(GridSourceCache, UnchangedSourceIsIndexedOnce) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", "[grid 1]\nc\none\n[grid 2]\nc\ntwo\n");
    unsigned long builds = grid_source_index_build_count();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"two"}}));
        EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"one"}}));
        EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 3), missing_grid());
    }
    EXPECT_EQ(grid_source_index_build_count() - builds, 1u);
}

TEST(GridSourceCache, ChangedSizeOrTimeIsIndexedAgain) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", "[grid 1]\nc\none\n");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"one"}}));

    dir.write("results.rdf", "[grid 1]\nc\nuno\n[grid 2]\nc\ndos\n");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"dos"}}));

    unsigned long builds = grid_source_index_build_count();
    dir.write("results.rdf", "[grid 2]\nc\nuno\n[grid 1]\nc\ndos\n");
    move_modification_time(path, 5);
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"dos"}}));
    EXPECT_EQ(grid_source_index_build_count() - builds, 1u);
}

// Both ends of a grid are checked: the first rewrite moves where grid 2
// starts, the second where grid 1 ends while its start stays.
TEST(GridSourceCache, RewriteWithSameSizeAndTimeIsNotReadAtStaleOffsets) {
    const std::string long_first = "[grid 1]\nc\naaaa\n[grid 2]\nc\nbb\n";
    const std::string long_second = "[grid 1]\nc\naa\n[grid 2]\nc\nbbbb\n";
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", long_first);
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"aaaa"}}));
    rewrite_keeping_time(dir, "results.rdf", long_second);
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"bbbb"}}));
    rewrite_keeping_time(dir, "results.rdf", long_first);
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"aaaa"}}));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"bb"}}));
}

TEST(GridSourceCache, SourceGrownWhileOpenIsReadAsItIsNow) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", "[grid 1]\nc\none\n");
    FI_GRID_HANDLE handle = nullptr;
    ASSERT_EQ(fiGridOpenFile(&handle, FI_GRID_TYPE_CSV, path.c_str()), 0);
    dir.write("results.rdf", "[grid 1]\nc\none\nmore\n");
    ASSERT_EQ(fiGridOpenTable(handle, &handle, 1), 0);
    EXPECT_EQ(fiGridReadRowRecord(handle, 1), 0);
    fiGridCloseFile(&handle);
}

TEST(GridSourceCache, RecordsetRewriteWithSameSizeAndTime) {
    const std::string xml_head =
        "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
        "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\">"
        "<s:Schema><s:AttributeType name=\"A\"/></s:Schema><rs:data>";
    auto recordset = [&](int number, const std::string &value) {
        return "/* RECORDSET " + std::to_string(number) + "\n" + xml_head + "<z:row A=\"" + value +
               "\"/></rs:data></xml>\n*/\n";
    };
    tw_test::TempDir dir;
    std::string path = dir.write("Action.c", recordset(1, "xxxx") + recordset(2, "y"));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 1), opened_grid(1, {{"xxxx"}}));
    rewrite_keeping_time(dir, "Action.c", recordset(1, "x") + recordset(2, "yyyy"));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 2), opened_grid(1, {{"yyyy"}}));
    rewrite_keeping_time(dir, "Action.c", recordset(1, "xxxx") + recordset(2, "y"));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 1), opened_grid(1, {{"xxxx"}}));
}

TEST(GridSourceCache, HoldsFewSourcesAndKeepsOpenHandlesWorking) {
    tw_test::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i <= GRID_SOURCE_CACHE_SIZE; ++i) {
        paths.push_back(dir.write("r" + std::to_string(i) + ".rdf",
                                  "[grid 1]\nc\nv" + std::to_string(i) + "\n"));
    }
    FI_GRID_HANDLE first = nullptr;
    ASSERT_EQ(fiGridOpenFile(&first, FI_GRID_TYPE_CSV, paths[0].c_str()), 0);
    for (size_t i = 1; i < paths.size(); ++i) {
        EXPECT_EQ(read_grid(paths[i], FI_GRID_TYPE_CSV, 1),
                  opened_grid(1, {{"v" + std::to_string(i)}}));
    }
    // The first source has left the cache; its open handle still reads.
    ASSERT_EQ(fiGridOpenTable(first, &first, 1), 0);
    ASSERT_EQ(fiGridReadRowRecord(first, -1), 0);
    char *text = nullptr;
    ASSERT_EQ(fiGridGetFieldPtr(first, 0, 1, &text), 0);
    EXPECT_STREQ(text, "v0");
    fiGridCloseFile(&first);

    unsigned long builds = grid_source_index_build_count();
    EXPECT_EQ(read_grid(paths[0], FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"v0"}}));
    EXPECT_EQ(grid_source_index_build_count() - builds, 1u);
    builds = grid_source_index_build_count();
    EXPECT_EQ(read_grid(paths.back(), FI_GRID_TYPE_CSV, 1),
              opened_grid(1, {{"v" + std::to_string(GRID_SOURCE_CACHE_SIZE)}}));
    EXPECT_EQ(grid_source_index_build_count() - builds, 0u);
}

}  // namespace
