// The index's record arena: every record is aligned, zero-filled, separate
// from every other and stays put until the arena is released.

#include "index/record_arena.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Span {
    char *start;
    size_t size;
};

TEST(RecordArena, RecordsAreAlignedZeroFilledAndDisjoint) {
    record_arena arena;
    arena_init(&arena);
    // Small records fill shared blocks; the large ones get blocks of their
    // own between them, and the zero size still gets a distinct record.
    const size_t sizes[] = {1, 8, 13, 80, 16, 0, 300000, 24, 40000, 7, 1 << 20, 64};
    std::vector<Span> spans;
    for (int round = 0; round < 2000; ++round) {
        for (size_t size : sizes) {
            if (size > 1000 && round % 500 != 0) {
                continue;
            }
            char *record = static_cast<char *>(arena_allocate(&arena, size));
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(record) % alignof(void *), 0u);
            for (size_t i = 0; i < size; ++i) {
                ASSERT_EQ(record[i], 0) << "size " << size;
            }
            memset(record, 0xab, size);
            spans.push_back({record, size});
        }
    }
    // Every record still holds what was written into it: none overlapped.
    for (const Span &span : spans) {
        for (size_t i = 0; i < span.size; ++i) {
            ASSERT_EQ(static_cast<unsigned char>(span.start[i]), 0xab);
        }
    }
    arena_release(&arena);
    EXPECT_EQ(arena.blocks, nullptr);
    // A released arena serves again.
    EXPECT_NE(arena_allocate(&arena, 32), nullptr);
    arena_release(&arena);
}

TEST(RecordArena, CopiesTextWithTerminator) {
    record_arena arena;
    arena_init(&arena);
    const std::string texts[] = {"", "Y", "2026-12-08", std::string(100000, 'x')};
    for (const std::string &text : texts) {
        // The copy ends at length even when the source goes on.
        std::string longer = text + "tail";
        char *copy = arena_copy_text(&arena, longer.c_str(), text.size());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(std::string(copy), text);
    }
    arena_release(&arena);
}

TEST(RecordArena, RefusesSizesThatCannotExist) {
    record_arena arena;
    arena_init(&arena);
    EXPECT_EQ(arena_allocate(&arena, SIZE_MAX), nullptr);
    EXPECT_EQ(arena_allocate(&arena, SIZE_MAX - 3), nullptr);
    EXPECT_EQ(arena_copy_text(&arena, "x", SIZE_MAX), nullptr);
    // A refusal leaves the arena usable.
    EXPECT_NE(arena_allocate(&arena, 16), nullptr);
    arena_release(&arena);
}

}  // namespace
