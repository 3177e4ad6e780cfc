#include "hashkit/hashkit.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Every release call of the current test, in order.
std::vector<void *> released;

void record_release(void *value) {
    released.push_back(value);
}

class HashkitTest : public ::testing::Test {
protected:
    void SetUp() override { released.clear(); }
};

std::vector<void *> enumerate(ht_table *table) {
    std::vector<void *> values;
    ht_enumeration *enumeration = ht_enumerate_elements(table);
    EXPECT_EQ(ht_count(table), ht_enum_count(enumeration));
    while (ht_enum_has_more_elements(enumeration)) {
        values.push_back(ht_enum_next_element(enumeration));
    }
    EXPECT_EQ(nullptr, ht_enum_next_element(enumeration));
    return values;
}

TEST_F(HashkitTest, CopiesKeysAndKeepsFirstValueOfPresentKey) {
    ht_table *table = ht_open(4);
    ASSERT_NE(nullptr, table);
    int first = 1;
    int second = 2;
    char key[16];
    snprintf(key, sizeof key, "%s:%d", "Action1.c", 20);
    EXPECT_EQ(0, ht_add(table, key, &first));
    snprintf(key, sizeof key, "%s", "overwritten");
    EXPECT_EQ(&first, ht_get(table, "Action1.c:20"));
    EXPECT_EQ(nullptr, ht_get(table, "overwritten"));
    EXPECT_EQ(1, ht_add(table, "Action1.c:20", &second));
    EXPECT_EQ(&first, ht_get(table, "Action1.c:20"));
    EXPECT_EQ(1, ht_count(table));
    ht_close(table);
}

TEST_F(HashkitTest, KeysCompareByteForByte) {
    ht_table *table = ht_open(8);
    int values[4];
    const char *keys[] = {"sqx_exec", "SQX_EXEC", "sqx_exec ", "\xE9t\xE9\x81\x40"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(0, ht_add(table, keys[i], &values[i])) << keys[i];
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(&values[i], ht_get(table, keys[i])) << keys[i];
    }
    EXPECT_EQ(nullptr, ht_get(table, "sqx_exe"));
    EXPECT_EQ(nullptr, ht_get(table, ""));
    EXPECT_EQ(0, ht_add(table, "", &values[0]));
    EXPECT_EQ(&values[0], ht_get(table, ""));
    ht_close(table);
}

TEST_F(HashkitTest, NullValuesAreStored) {
    ht_table *table = ht_open_ext(4, record_release);
    EXPECT_EQ(0, ht_add(table, "site", nullptr));
    EXPECT_EQ(1, ht_count(table));
    EXPECT_EQ(1, ht_add(table, "site", nullptr));
    EXPECT_EQ((std::vector<void *>{nullptr}), enumerate(table));
    EXPECT_EQ(0, ht_delete(table, "site"));
    EXPECT_EQ((std::vector<void *>{nullptr}), released);
    ht_close(table);
}

TEST_F(HashkitTest, ReleasesEachValueExactlyOnce) {
    ht_table *table = ht_open_ext(2, record_release);
    int values[5];
    const char *keys[] = {"a", "b", "c", "d", "e"};
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(0, ht_add(table, keys[i], &values[i]));
    }
    int other = 0;
    EXPECT_EQ(1, ht_add(table, "c", &other));  // the refused value is the caller's
    EXPECT_EQ(0, ht_delete(table, "b"));
    EXPECT_EQ(-1, ht_delete(table, "b"));
    EXPECT_EQ(-1, ht_delete(table, "zz"));
    EXPECT_EQ((std::vector<void *>{&values[1]}), released);
    ht_close(table);
    EXPECT_EQ((std::vector<void *>{&values[1], &values[0], &values[2], &values[3], &values[4]}),
              released);
}

TEST_F(HashkitTest, PlainTablesNeverRelease) {
    ht_table *table = ht_open(2);
    int value = 0;
    ht_add(table, "a", &value);
    ht_add(table, "b", &value);
    ht_delete(table, "a");
    ht_close(table);
    EXPECT_TRUE(released.empty());
}

TEST_F(HashkitTest, InsertionOrderSurvivesDeletesGrowthAndReAdds) {
    ht_table *table = ht_open(1);
    std::vector<int> values(1000);
    std::vector<void *> expected;
    char key[32];
    for (int i = 0; i < 1000; ++i) {
        snprintf(key, sizeof key, "key%d", i);
        ASSERT_EQ(0, ht_add(table, key, &values[i]));
    }
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 == 0) {
            snprintf(key, sizeof key, "key%d", i);
            ASSERT_EQ(0, ht_delete(table, key));
        } else {
            expected.push_back(&values[i]);
        }
    }
    // A deleted key added again goes to the end.
    ASSERT_EQ(0, ht_add(table, "key0", &values[0]));
    expected.push_back(&values[0]);
    EXPECT_EQ(expected, enumerate(table));
    // A new enumeration starts over.
    EXPECT_EQ(expected, enumerate(table));
    ht_close(table);
}

TEST_F(HashkitTest, EmptyTableEnumeratesNothing) {
    ht_table *table = ht_open(0);
    ht_enumeration *enumeration = ht_enumerate_elements(table);
    EXPECT_EQ(0, ht_enum_count(enumeration));
    EXPECT_FALSE(ht_enum_has_more_elements(enumeration));
    EXPECT_EQ(nullptr, ht_enum_next_element(enumeration));
    ht_close(table);
}

TEST_F(HashkitTest, ManyKeysAgreeWithReferenceMap) {
    ht_table *table = ht_open_ext(32, record_release);
    std::map<std::string, size_t> reference;
    const size_t KEY_COUNT = 100000;
    std::vector<int> values(KEY_COUNT);
    char key[32];
    for (size_t i = 0; i < KEY_COUNT; ++i) {
        // High bytes in keys, and values that repeat, as token texts do.
        snprintf(key, sizeof key, "\x81%zu\xFF%zu", i % 977, i);
        ASSERT_EQ(0, ht_add(table, key, &values[i]));
        reference[key] = i;
    }
    EXPECT_EQ(static_cast<int>(KEY_COUNT), ht_count(table));
    for (const auto &[text, index] : reference) {
        ASSERT_EQ(&values[index], ht_get(table, text.c_str())) << text;
    }
    size_t removed = 0;
    for (const auto &[text, index] : reference) {
        if (index % 2 == 1) {
            ASSERT_EQ(0, ht_delete(table, text.c_str()));
            ++removed;
        }
    }
    EXPECT_EQ(removed, released.size());
    std::vector<void *> order = enumerate(table);
    ASSERT_EQ(KEY_COUNT - removed, order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(&values[2 * i], order[i]);
    }
    ht_close(table);
    EXPECT_EQ(KEY_COUNT, released.size());
}

// Adds and deletes interleaved, as the recorder's handle table sees them:
// after every step each key present is found and each deleted key is not,
// whatever runs of neighbouring keys the deletions break up. Key lengths
// range from short to far longer than the table keeps in its own blocks, so
// reused entries of every size are checked too.
TEST_F(HashkitTest, LookupsStayRightThroughInterleavedDeletes) {
    ht_table *table = ht_open_ext(4, record_release);
    std::map<std::string, int> reference;
    std::vector<int> values(64);
    std::mt19937 random(11);
    auto key_of = [](int number) {
        return "C" + std::to_string(number) +
               std::string(static_cast<size_t>(number * 37 % 400), 'x');
    };
    size_t deleted = 0;
    for (int step = 0; step < 20000; ++step) {
        int number = static_cast<int>(random() % values.size());
        std::string key = key_of(number);
        if (random() % 2 == 0) {
            EXPECT_EQ(reference.count(key) ? 1 : 0, ht_add(table, key.c_str(), &values[number]));
            reference.emplace(key, number);
        } else {
            bool present = reference.erase(key) != 0;
            EXPECT_EQ(present ? 0 : -1, ht_delete(table, key.c_str()));
            deleted += present ? 1 : 0;
        }
        if (step % 97 == 0) {
            for (int probe = 0; probe < static_cast<int>(values.size()); ++probe) {
                std::string probe_key = key_of(probe);
                void *expected = reference.count(probe_key) ? &values[probe] : nullptr;
                ASSERT_EQ(expected, ht_get(table, probe_key.c_str()))
                    << probe << " at step " << step;
            }
        }
    }
    EXPECT_EQ(static_cast<int>(reference.size()), ht_count(table));
    EXPECT_EQ(deleted, released.size());
    // Every key still reads back whole through the enumeration.
    std::map<std::string, int> enumerated;
    ht_enumeration *entries = ht_enumerate_elements(table);
    while (ht_enum_has_more_elements(entries)) {
        const char *key = nullptr;
        int *value = static_cast<int *>(ht_enum_next_entry(entries, &key));
        enumerated.emplace(key, static_cast<int>(value - values.data()));
    }
    EXPECT_EQ(reference, enumerated);
    ht_close(table);
    EXPECT_EQ(deleted + reference.size(), released.size());
}

// Replacing a value in place keeps the key's place in the insertion order
// and releases nothing, where delete and add would release and move it.
TEST_F(HashkitTest, ValueReplacedInPlaceKeepsOrderAndIsNotReleased) {
    ht_table *table = ht_open_ext(4, record_release);
    int values[4];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(0, ht_add(table, std::to_string(i).c_str(), &values[i]));
    }
    void **held = ht_value_of(table, "0");
    ASSERT_NE(nullptr, held);
    EXPECT_EQ(&values[0], *held);
    *held = &values[3];
    EXPECT_EQ(&values[3], ht_get(table, "0"));
    EXPECT_EQ(3, ht_count(table));
    EXPECT_EQ((std::vector<void *>{&values[3], &values[1], &values[2]}), enumerate(table));
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(nullptr, ht_value_of(table, "3"));
    EXPECT_EQ(nullptr, ht_value_of(table, nullptr));
    EXPECT_EQ(nullptr, ht_value_of(nullptr, "0"));
    ht_close(table);
    EXPECT_EQ((std::vector<void *>{&values[3], &values[1], &values[2]}), released);
}

// Payload entries share the table with plain ones: their room is zeroed,
// aligned, stable while the table grows and reuses deleted entries, never
// given to the release function, and enumerated in insertion order.
TEST_F(HashkitTest, PayloadRoomsLiveInTheirEntries) {
    ht_table *table = ht_open_ext(1, record_release);
    ASSERT_NE(nullptr, table);
    struct payload_case {
        std::string key;
        size_t payload_size;
    };
    const payload_case cases[] = {
        {"", 1},  {"7", 80}, {"12345678", 80}, {"abcdefghijklmno", 24}, {std::string(300, 'k'), 80},
        {"x", 3}, {"y", 200}};
    int plain_value = 0;
    ASSERT_EQ(0, ht_add(table, "plain", &plain_value));
    std::vector<void *> expected_order = {&plain_value};
    std::vector<unsigned char *> rooms;
    for (const payload_case &c : cases) {
        const char *stored_key = nullptr;
        unsigned char *room = static_cast<unsigned char *>(
            ht_add_payload(table, c.key.c_str(), c.payload_size, &stored_key));
        ASSERT_NE(nullptr, room) << c.key;
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(room) % 8) << c.key;
        EXPECT_EQ(c.key, stored_key);
        EXPECT_NE(c.key.c_str(), stored_key);
        for (size_t i = 0; i < c.payload_size; ++i) {
            ASSERT_EQ(0, room[i]) << c.key << " byte " << i;
        }
        memset(room, 0xA5, c.payload_size);  // would spill into a neighbour's key or room
        EXPECT_EQ(nullptr, ht_add_payload(table, c.key.c_str(), c.payload_size, nullptr));
        EXPECT_EQ(1, ht_add(table, c.key.c_str(), &plain_value));
        rooms.push_back(room);
        expected_order.push_back(room);
    }
    // Growth several times over must move no room.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(0, ht_add(table, ("filler" + std::to_string(i)).c_str(), &plain_value));
    }
    for (size_t n = 0; n < rooms.size(); ++n) {
        EXPECT_EQ(rooms[n], ht_get(table, cases[n].key.c_str())) << cases[n].key;
        const char *stored_key = nullptr;
        ht_enumeration *enumeration = ht_enumerate_elements(table);
        for (size_t skip = 0; skip <= n; ++skip) {
            ht_enum_next_entry(enumeration, &stored_key);
        }
        EXPECT_EQ(rooms[n], ht_enum_next_entry(enumeration, &stored_key));
        EXPECT_EQ(cases[n].key, stored_key);
        for (size_t i = 0; i < cases[n].payload_size; ++i) {
            ASSERT_EQ(0xA5, rooms[n][i]) << cases[n].key << " byte " << i;
        }
    }
    std::vector<void *> values = enumerate(table);
    values.resize(expected_order.size());
    EXPECT_EQ(expected_order, values);

    // A deleted payload entry is kept for reuse; the room it comes back as
    // is zeroed again.
    EXPECT_EQ(0, ht_delete(table, "7"));
    EXPECT_EQ(nullptr, ht_get(table, "7"));
    unsigned char *again = static_cast<unsigned char *>(ht_add_payload(table, "8", 80, nullptr));
    ASSERT_NE(nullptr, again);
    for (size_t i = 0; i < 80; ++i) {
        ASSERT_EQ(0, again[i]) << "byte " << i;
    }
    EXPECT_TRUE(released.empty());
    // A room is its entry's value for good: it cannot be replaced in place.
    EXPECT_EQ(nullptr, ht_value_of(table, "12345678"));
    EXPECT_NE(nullptr, ht_value_of(table, "plain"));
    EXPECT_EQ(nullptr, ht_add_payload(table, "empty room", 0, nullptr));
    EXPECT_EQ(nullptr, ht_add_payload(nullptr, "a", 8, nullptr));
    EXPECT_EQ(nullptr, ht_add_payload(table, nullptr, 8, nullptr));
    EXPECT_EQ(nullptr, ht_get(table, "empty room"));
    int count = ht_count(table);
    ht_close(table);
    // Only the plain values reach the release function, each once.
    EXPECT_EQ(static_cast<size_t>(count) - rooms.size(), released.size());
    for (void *value : released) {
        EXPECT_EQ(&plain_value, value);
    }
}

TEST_F(HashkitTest, NullArgumentsAreRefused) {
    ht_table *table = ht_open(4);
    int value = 0;
    EXPECT_EQ(-1, ht_add(nullptr, "a", &value));
    EXPECT_EQ(-1, ht_add(table, nullptr, &value));
    EXPECT_EQ(nullptr, ht_get(table, nullptr));
    EXPECT_EQ(-1, ht_delete(table, nullptr));
    ht_prefetch(nullptr, "a");
    ht_prefetch(table, nullptr);
    ht_prefetch(table, "absent");
    EXPECT_EQ(0, ht_count(table));
    EXPECT_EQ(0, ht_count(nullptr));
    EXPECT_EQ(nullptr, ht_enumerate_elements(nullptr));
    EXPECT_FALSE(ht_enum_has_more_elements(nullptr));
    ht_close(nullptr);
    ht_close(table);
}

}  // namespace
