// Location keys: base name, colon, decimal line, for keys of every length.

#include "index/location_key.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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
