// How the grid calls move through rows and deliver cells, independent of the
// source format.

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "rowbank/rowbank.h"
#include "rowbank_test_support.h"
#include "test_support.h"

namespace {

const char THREE_ROWS[] = "[grid 5]\na,b\nr0,x\nr1,\nr2,z\n";

class GridCallsTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.write("results.rdf", THREE_ROWS);
        ASSERT_EQ(fiGridOpenFile(&handle_, FI_GRID_TYPE_CSV, path_.c_str()), 0);
        ASSERT_EQ(fiGridOpenTable(handle_, &handle_, 5), 0);
    }
    void TearDown() override { fiGridCloseFile(&handle_); }

    std::string first_cell() {
        char *text = nullptr;
        return fiGridGetFieldPtr(handle_, 0, 1, &text) == 0 ? std::string(text) : "<none>";
    }

    tw_test::TempDir dir_;
    std::string path_;
    FI_GRID_HANDLE handle_ = nullptr;
};

TEST_F(GridCallsTest, RowsByIndexAndNextRowContinuesFromThere) {
    ASSERT_EQ(fiGridReadRowRecord(handle_, 2), 0);
    EXPECT_EQ(first_cell(), "r2");
    ASSERT_EQ(fiGridReadRowRecord(handle_, 0), 0);
    EXPECT_EQ(first_cell(), "r0");
    ASSERT_EQ(fiGridReadRowRecord(handle_, -1), 0);
    EXPECT_EQ(first_cell(), "r1");
    ASSERT_EQ(fiGridReadRowRecord(handle_, 1), 0);
    EXPECT_EQ(first_cell(), "r1");
}

TEST_F(GridCallsTest, NoRowBeyondTheLastAndNoCurrentRowAfterwards) {
    EXPECT_NE(fiGridReadRowRecord(handle_, 3), 0);
    EXPECT_NE(fiGridColContainData(handle_, 0), 0);
    EXPECT_EQ(first_cell(), "<none>");
    EXPECT_NE(fiGridReadRowRecord(handle_, -1), 0);
    EXPECT_NE(fiGridReadRowRecord(handle_, -2), 0);
    EXPECT_NE(fiGridReadRowRecord(handle_, -2147483647 - 1), 0);
    EXPECT_NE(fiGridReadRowRecord(handle_, 2147483647), 0);
    // An index still reaches every row afterwards.
    EXPECT_EQ(fiGridReadRowRecord(handle_, 0), 0);
    EXPECT_EQ(first_cell(), "r0");
}

TEST_F(GridCallsTest, CellsThatCannotBeDelivered) {
    char *text = reinterpret_cast<char *>(this);
    // Before the first row is read there is no current row.
    EXPECT_NE(fiGridColContainData(handle_, 0), 0);
    EXPECT_NE(fiGridGetFieldPtr(handle_, 0, 1, &text), 0);
    EXPECT_EQ(text, nullptr);
    ASSERT_EQ(fiGridReadRowRecord(handle_, 1), 0);
    for (int column : {1, 2, -1, 1000}) {
        EXPECT_NE(fiGridColContainData(handle_, column), 0) << column;
        EXPECT_NE(fiGridGetFieldPtr(handle_, column, 1, &text), 0) << column;
    }
    for (int mode : {0, 2, -1}) {
        EXPECT_NE(fiGridGetFieldPtr(handle_, 0, mode, &text), 0) << mode;
    }
    EXPECT_NE(fiGridGetFieldPtr(handle_, 0, 1, nullptr), 0);
}

TEST_F(GridCallsTest, TextStaysValidWhileTheRowIsCurrent) {
    ASSERT_EQ(fiGridReadRowRecord(handle_, 0), 0);
    char *first = nullptr;
    char *second = nullptr;
    ASSERT_EQ(fiGridGetFieldPtr(handle_, 0, 1, &first), 0);
    ASSERT_EQ(fiGridGetFieldPtr(handle_, 1, 1, &second), 0);
    EXPECT_EQ(fiGridColContainData(handle_, 1), 0);
    EXPECT_STREQ(first, "r0");
    EXPECT_STREQ(second, "x");
}

TEST_F(GridCallsTest, SelectingAnotherTableStartsBeforeItsFirstRow) {
    ASSERT_EQ(fiGridReadRowRecord(handle_, 2), 0);
    EXPECT_NE(fiGridOpenTable(handle_, nullptr, 6), 0);
    int columns = -1;
    fiGridGetNumOfCols(handle_, &columns);
    EXPECT_EQ(columns, 0);
    EXPECT_NE(fiGridReadRowRecord(handle_, -1), 0);
    EXPECT_NE(fiGridColContainData(handle_, 0), 0);
    ASSERT_EQ(fiGridOpenTable(handle_, nullptr, 5), 0);
    ASSERT_EQ(fiGridReadRowRecord(handle_, -1), 0);
    EXPECT_EQ(first_cell(), "r0");
}

TEST(GridCallsWithoutSource, NullHandlesAreRefusedSafely) {
    FI_GRID_HANDLE handle = nullptr;
    FI_GRID_HANDLE out = reinterpret_cast<FI_GRID_HANDLE>(&handle);
    EXPECT_NE(fiGridOpenTable(nullptr, &out, 1), 0);
    EXPECT_EQ(out, nullptr);
    int columns = -1;
    EXPECT_NE(fiGridGetNumOfCols(nullptr, &columns), 0);
    EXPECT_EQ(columns, 0);
    EXPECT_NE(fiGridReadRowRecord(nullptr, -1), 0);
    EXPECT_NE(fiGridColContainData(nullptr, 0), 0);
    char *text = nullptr;
    EXPECT_NE(fiGridGetFieldPtr(nullptr, 0, 1, &text), 0);
    EXPECT_EQ(fiGridCloseFile(&handle), 0);
    EXPECT_EQ(fiGridCloseFile(nullptr), 0);
}

TEST(GridCallsWithoutSource, NoTableSelectedMeansNoColumnsAndNoRows) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", THREE_ROWS);
    FI_GRID_HANDLE handle = nullptr;
    ASSERT_EQ(fiGridOpenFile(&handle, FI_GRID_TYPE_CSV, path.c_str()), 0);
    int columns = -1;
    fiGridGetNumOfCols(handle, &columns);
    EXPECT_EQ(columns, 0);
    EXPECT_NE(fiGridReadRowRecord(handle, -1), 0);
    EXPECT_NE(fiGridReadRowRecord(handle, 0), 0);
    fiGridCloseFile(&handle);
}

}  // namespace
