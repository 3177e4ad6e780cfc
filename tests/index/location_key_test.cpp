// Location keys: base name, colon, decimal line, for keys of every length.

#include "index/location_key.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "index/chain_table.h"
#include "index/correlation_index.h"
#include "index/index_inspection.h"

namespace {

struct KeyCase {
    std::string path;
    int line;
    std::string expected;
};

TEST(LocationKey, FormsBaseNameColonLine) {
    const std::string long_name(200, 'a');
    const KeyCase cases[] = {
        {"Action1.c", 12, "Action1.c:12"},
        {"/project/scripts/Action1.c", 0, "Action1.c:0"},
        {"C:\\project\\Action2.c", 7, "Action2.c:7"},
        {"Action1.c", -5, "Action1.c:-5"},
        {"Action1.c", INT_MAX, "Action1.c:2147483647"},
        {"Action1.c", INT_MIN, "Action1.c:-2147483648"},
        {"", 3, ":3"},
        // Around the record's inline room, and far past it.
        {std::string(LOCATION_KEY_INLINE_SIZE - 3, 'b'), 1,
         std::string(LOCATION_KEY_INLINE_SIZE - 3, 'b') + ":1"},
        {std::string(LOCATION_KEY_INLINE_SIZE - 2, 'b'), 1,
         std::string(LOCATION_KEY_INLINE_SIZE - 2, 'b') + ":1"},
        {"/dir/" + long_name, 123456, long_name + ":123456"},
    };
    for (const KeyCase &c : cases) {
        location_key key;
        ASSERT_EQ(location_key_format(&key, c.path.c_str(), c.line), 0) << c.path;
        EXPECT_EQ(std::string(key.text), c.expected) << c.path;
        location_key_release(&key);
        EXPECT_EQ(key.text, nullptr);
    }
}

}  // namespace

namespace {

token_entry_tag chains[8];

// One filing: the chain at path:line (path null: outside the project).
struct Filing {
    const char *path;
    int line;
    int chain;
};

// What a location key must answer after the filings: the first chain filed
// under that base name and line by any path.
struct KeyAnswer {
    const char *base_name;
    int line;
    int chain;  // -1: nothing
};

TEST(ChainLocations, LocationKeysKeepTheFirstChainOfEveryFileSharingABaseName) {
    correlation_index *index = create_index_tables();
    ASSERT_NE(index, nullptr);
    const char *paths[] = {"/p/a.c", "/p/b.c", "/p/sub/a.c", "/p/c.c"};
    for (const char *path : paths) {
        ASSERT_EQ(register_action_file(index, path, path, 100), 0);
    }
    char **files = index->file_paths;
    const Filing filings[] = {
        {files[0], 1, 0},
        {files[0], 2, 1},
        {files[1], 2, 2},
        {files[0], 1, 3},
        // A second file with a.c's base name: its keys from now on are its
        // own, its earlier places still answer.
        {files[2], 2, 4},
        {files[2], 3, 5},
        // A path outside the project, with c.c's base name, before c.c.
        {"/elsewhere/c.c", 7, 6},
        {files[3], 7, 7},
        {files[3], 8, 7},
    };
    for (const Filing &f : filings) {
        add_chain_location(index, f.path, f.line, &chains[f.chain]);
    }
    const KeyAnswer answers[] = {
        {"a.c", 1, 0},  {"a.c", 2, 1}, {"a.c", 3, 5}, {"a.c", 4, -1}, {"b.c", 2, 2},
        {"b.c", 1, -1}, {"c.c", 7, 6}, {"c.c", 8, 7}, {"d.c", 1, -1},
    };
    for (const KeyAnswer &a : answers) {
        int number = find_base_name_number(index->location_base_names, a.base_name);
        EXPECT_EQ(chain_at_location_key(index, number, a.line),
                  a.chain >= 0 ? &chains[a.chain] : nullptr)
            << a.base_name << ":" << a.line;
    }
    // Places stay per file.
    token_entry_tag *found = nullptr;
    ASSERT_EQ(find_chain_location(index, files[2], 2, &found), 0);
    EXPECT_EQ(found, &chains[4]);
    ASSERT_EQ(find_chain_location(index, files[3], 7, &found), 0);
    EXPECT_EQ(found, &chains[7]);
    // A bare name answers by its key only while one action file has it.
    ASSERT_EQ(find_chain_location(index, "b.c", 2, &found), 0);
    EXPECT_EQ(found, &chains[2]);
    ASSERT_EQ(find_chain_location(index, "a.c", 2, &found), 0);
    EXPECT_EQ(found, nullptr);

    // The listing names every key once, in byte order.
    std::string listed;
    for (const auto &[key, chain] : index_locations(index)) {
        listed += key + "=" + std::to_string(chain - chains) + " ";
    }
    EXPECT_EQ(listed, "a.c:1=0 a.c:2=1 a.c:3=5 b.c:2=2 c.c:7=6 c.c:8=7 ");
    release_index(index);
}

}  // namespace
