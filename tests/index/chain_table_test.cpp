// The chain tables: the first chain filed under a (group, line) stays, every
// entry is found again however far the table grew, and base names are
// numbered once each in the order first seen.

#include "index/chain_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <map>
#include <utility>
#include <vector>

#include "tokenweave/ccorrelationanalyser.h"

namespace {

token_entry_tag chains[8];

struct AddCase {
    int group;
    int line;
    int chain;     // index into chains
    int expected;  // chain_table_add's answer
};

TEST(ChainTable, FirstChainFiledStays) {
    const AddCase cases[] = {
        {0, 1, 0, 0},       {0, 1, 1, 1},   // taken: the first stays
        {1, 1, 2, 0},                       // another group, same line
        {0, 2, 3, 0},       {0, -5, 4, 0},  // lines may be negative
        {0, INT_MIN, 5, 0}, {INT_MAX, INT_MAX, 6, 0},
        {-1, 3, 7, -1},  // groups may not
    };
    chain_table *table = chain_table_create();
    ASSERT_NE(table, nullptr);
    for (const AddCase &c : cases) {
        EXPECT_EQ(chain_table_add(table, c.group, c.line, &chains[c.chain]), c.expected)
            << c.group << ":" << c.line;
    }
    const AddCase expected_lookups[] = {
        {0, 1, 0, 0},  {1, 1, 2, 0},       {0, 2, 3, 0},
        {0, -5, 4, 0}, {0, INT_MIN, 5, 0}, {INT_MAX, INT_MAX, 6, 0},
    };
    for (const AddCase &c : expected_lookups) {
        EXPECT_EQ(chain_table_get(table, c.group, c.line), &chains[c.chain])
            << c.group << ":" << c.line;
    }
    EXPECT_EQ(chain_table_get(table, 1, 2), nullptr);
    EXPECT_EQ(chain_table_get(table, -1, 3), nullptr);
    EXPECT_EQ(chain_table_count(table), 6);
    chain_table_release(table);
    chain_table_release(nullptr);
}

void collect(void *context, const chain_table_entry &entry) {
    auto *seen = static_cast<std::map<std::pair<int, int>, token_entry_tag *> *>(context);
    EXPECT_TRUE(seen->emplace(std::make_pair(entry.group, entry.line), entry.chain).second)
        << "visited twice: " << entry.group << ":" << entry.line;
}

TEST(ChainTable, EveryEntrySurvivesGrowth) {
    // Far past the first slots, with keys that differ only in one half.
    chain_table *table = chain_table_create();
    std::map<std::pair<int, int>, token_entry_tag *> filed;
    for (int i = 0; i < 60000; ++i) {
        int group = i % 3 == 0 ? i : i % 17;
        int line = i % 3 == 0 ? 7 : i;
        token_entry_tag *chain = &chains[i % 8];
        int added = chain_table_add(table, group, line, chain);
        bool is_new = filed.emplace(std::make_pair(group, line), chain).second;
        ASSERT_EQ(added, is_new ? 0 : 1) << i;
    }
    EXPECT_EQ(chain_table_count(table), static_cast<int>(filed.size()));
    for (const auto &[key, chain] : filed) {
        ASSERT_EQ(chain_table_get(table, key.first, key.second), chain);
    }
    EXPECT_EQ(chain_table_get(table, 5, 7), nullptr);
    std::map<std::pair<int, int>, token_entry_tag *> visited;
    chain_table_visit(table, collect, &visited);
    EXPECT_EQ(visited, filed);
    chain_table_release(table);
}

// Filed as the recorder files them: file after file, mostly line after
// line, with now and then an earlier line (a statement's own line), a line
// filed again, or a group seen before. Every answer is checked against a
// map, and so is a copy of each group into another table.
TEST(ChainTable, FilingMostlyInOrderMatchesAMap) {
    srand(11);
    chain_table *table = chain_table_create();
    ASSERT_NE(table, nullptr);
    std::map<std::pair<int, int>, token_entry_tag *> filed;
    const int GROUPS = 40;
    for (int group = 0; group < GROUPS; ++group) {
        int line = 0;
        int lines = rand() % 3000;  // some groups cross a block boundary, some are empty
        for (int i = 0; i < lines; ++i) {
            line += 1 + rand() % 3;
            int filed_line = line;
            int filed_group = group;
            switch (rand() % 10) {
                case 0:
                    filed_line = line - rand() % 40;  // earlier, maybe filed already
                    break;
                case 1:
                    filed_group = rand() % (group + 1);  // a group seen before
                    filed_line = rand() % (line + 1);
                    break;
                default:
                    break;
            }
            token_entry_tag *chain = &chains[i % 8];
            bool is_new = filed.emplace(std::make_pair(filed_group, filed_line), chain).second;
            ASSERT_EQ(chain_table_add(table, filed_group, filed_line, chain), is_new ? 0 : 1)
                << filed_group << ":" << filed_line;
        }
    }
    EXPECT_EQ(chain_table_count(table), static_cast<int>(filed.size()));
    for (const auto &[key, chain] : filed) {
        ASSERT_EQ(chain_table_get(table, key.first, key.second), chain)
            << key.first << ":" << key.second;
        // Neighbours never filed are absent.
        if (filed.count({key.first, key.second + 1}) == 0) {
            ASSERT_EQ(chain_table_get(table, key.first, key.second + 1), nullptr);
        }
    }
    EXPECT_EQ(chain_table_get(table, GROUPS, 1), nullptr);
    std::map<std::pair<int, int>, token_entry_tag *> visited;
    chain_table_visit(table, collect, &visited);
    EXPECT_EQ(visited, filed);

    // Copying each group under another number, after an entry of its own
    // that must stay.
    chain_table *copies = chain_table_create();
    std::map<std::pair<int, int>, token_entry_tag *> expected;
    for (int group = 0; group < GROUPS; ++group) {
        int target = GROUPS - 1 - group;
        ASSERT_EQ(chain_table_add(copies, target, 5, &chains[7]), 0);
        expected[{target, 5}] = &chains[7];
        ASSERT_EQ(chain_table_copy_group(copies, target, table, group), 0);
        for (const auto &[key, chain] : filed) {
            if (key.first == group) {
                expected.emplace(std::make_pair(target, key.second), chain);
            }
        }
    }
    visited.clear();
    chain_table_visit(copies, collect, &visited);
    EXPECT_EQ(visited, expected);
    chain_table_release(copies);
    chain_table_release(table);
}

TEST(BaseNameList, NumbersEachNameOnceInOrderFirstSeen) {
    base_name_list *names = base_name_list_create();
    ASSERT_NE(names, nullptr);
    const struct {
        const char *name;
        int number;
    } cases[] = {{"Action1.c", 0}, {"vuser_init.c", 1},
                 {"Action1.c", 0}, {"action1.c", 2},  // names compare byte for byte
                 {"", 3},          {"vuser_init.c", 1}};
    for (const auto &c : cases) {
        EXPECT_EQ(base_name_number(names, c.name), c.number) << c.name;
        EXPECT_STREQ(base_name_text(names, c.number), c.name);
    }
    EXPECT_EQ(find_base_name_number(names, "Action2.c"), -1);
    EXPECT_EQ(find_base_name_number(names, "action1.c"), 2);
    EXPECT_EQ(base_name_text(names, 4), nullptr);
    EXPECT_EQ(base_name_text(names, -1), nullptr);
    // Past the first slots of the list.
    for (int i = 0; i < 100; ++i) {
        std::string name = "file" + std::to_string(i) + ".c";
        ASSERT_EQ(base_name_number(names, name.c_str()), 4 + i);
    }
    EXPECT_STREQ(base_name_text(names, 103), "file99.c");
    base_name_list_release(names);
    base_name_list_release(nullptr);
}

}  // namespace
