#include "containers/list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Data pointers that the tests can tell apart and print.
char items[] = "abcdefgh";
void *item(char name) {
    return &items[name - 'a'];
}
char name_of(void *data) {
    return data == nullptr ? '-' : *static_cast<char *>(data);
}

// The list's data from head to tail, as names.
std::string forward(list_node **list) {
    std::string seen;
    list_node *position = list_head(list);
    while (position != nullptr) {
        seen += name_of(list_next(list, &position));
    }
    return seen;
}

// The list's data from tail to head, as names; also checks that every node's
// previous link mirrors the next link that led to it.
std::string backward(list_node **list) {
    list_node *last = list_head(list);
    while (last != nullptr && last->next != nullptr) {
        EXPECT_EQ(last->next->previous, last);
        last = last->next;
    }
    std::string seen;
    list_node *position = last;
    while (position != nullptr) {
        seen += name_of(list_previous(list, &position));
    }
    return seen;
}

list_node *build(const std::string &names) {
    list_node *list = list_create();
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        EXPECT_EQ(list_add_first(&list, item(*name)), 1);
    }
    return list;
}

void destroy(list_node **list) {
    while (!list_is_empty(list)) {
        list_node *head = list_head(list);
        list_remove(list, &head);
    }
}

TEST(List, AddFirstOnEmptyGivesOneUnlinkedNode) {
    list_node *list = list_create();
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(list_is_empty(&list), 1);
    EXPECT_EQ(list_first(&list), nullptr);
    ASSERT_EQ(list_add_first(&list, item('a')), 1);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->previous, nullptr);
    EXPECT_EQ(list_first(&list), item('a'));
    EXPECT_EQ(list_is_empty(&list), 0);
    destroy(&list);
    EXPECT_EQ(list, nullptr);
}

TEST(List, AddFirstPrepends) {
    list_node *list = build("abc");
    EXPECT_EQ(forward(&list), "abc");
    EXPECT_EQ(backward(&list), "cba");
    EXPECT_EQ(list_head(&list)->previous, nullptr);
    destroy(&list);
}

TEST(List, WalksEndWithANullPosition) {
    list_node *list = build("abc");
    list_node *position = list_head(&list);
    list_next(&list, &position);
    list_next(&list, &position);
    list_node *last = position;
    EXPECT_EQ(list_get(&list, &position), item('c'));
    EXPECT_EQ(position, last);  // list_get does not move
    EXPECT_EQ(list_next(&list, &position), item('c'));
    EXPECT_EQ(position, nullptr);

    position = last;
    list_previous(&list, &position);
    list_previous(&list, &position);
    EXPECT_EQ(list_previous(&list, &position), item('a'));
    EXPECT_EQ(position, nullptr);
    destroy(&list);
}

TEST(List, InsertAfterNullPositionPutsInFront) {
    list_node *list = build("bc");
    ASSERT_EQ(list_insert_after(&list, nullptr, item('a')), 1);
    EXPECT_EQ(forward(&list), "abc");
    EXPECT_EQ(backward(&list), "cba");
    destroy(&list);
}

TEST(List, InsertAfterLinksBothWaysAndKeepsThePosition) {
    list_node *list = build("ac");
    list_node *position = list_head(&list);
    ASSERT_EQ(list_insert_after(&list, position, item('b')), 1);
    EXPECT_EQ(position, list_head(&list));
    EXPECT_EQ(forward(&list), "abc");
    EXPECT_EQ(backward(&list), "cba");
    destroy(&list);
}

// Appending in order: insert after a kept position, then step onto the new
// node.
TEST(List, AppendsThroughAKeptPosition) {
    list_node *list = list_create();
    list_node *tail = nullptr;
    for (char name : std::string("abcde")) {
        ASSERT_EQ(list_insert_after(&list, tail, item(name)), 1);
        if (tail == nullptr) {
            tail = list_head(&list);
        } else {
            list_next(&list, &tail);
        }
    }
    EXPECT_EQ(forward(&list), "abcde");
    EXPECT_EQ(backward(&list), "edcba");
    destroy(&list);
}

// Caller-provided nodes link like allocated ones: at the front (null
// position), in the middle and at the end, both ways.
TEST(List, LinksNodesTheCallerProvides) {
    list_node nodes[4];
    list_node *list = list_create();
    nodes[0].data = item('b');
    list_link_after(&list, nullptr, &nodes[0]);
    nodes[1].data = item('d');
    list_link_after(&list, &nodes[0], &nodes[1]);
    nodes[2].data = item('a');
    list_link_after(&list, nullptr, &nodes[2]);
    nodes[3].data = item('c');
    list_link_after(&list, &nodes[0], &nodes[3]);
    EXPECT_EQ(forward(&list), "abcd");
    EXPECT_EQ(backward(&list), "dcba");
    EXPECT_EQ(list_head(&list), &nodes[2]);
}

struct RemoveCase {
    const char *label;
    int index;  // of the node to remove in "abcd"
    const char *forward;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const RemoveCase &c, std::ostream *out) {
    *out << c.label;
}

class ListRemove : public testing::TestWithParam<RemoveCase> {};

TEST_P(ListRemove, RelinksTheNeighbours) {
    const RemoveCase &c = GetParam();
    list_node *list = build("abcd");
    list_node *doomed = list_head(&list);
    for (int i = 0; i < c.index; ++i) {
        list_next(&list, &doomed);
    }
    list_remove(&list, &doomed);
    EXPECT_EQ(forward(&list), c.forward);
    std::string reversed(c.forward);
    reversed.assign(reversed.rbegin(), reversed.rend());
    EXPECT_EQ(backward(&list), reversed);
    EXPECT_EQ(list_head(&list)->previous, nullptr);
    EXPECT_EQ(list_first(&list), item(c.forward[0]));
    destroy(&list);
}

INSTANTIATE_TEST_SUITE_P(Positions, ListRemove,
                         testing::Values(RemoveCase{"first", 0, "bcd"},
                                         RemoveCase{"middle", 2, "abd"},
                                         RemoveCase{"last", 3, "abc"}),
                         [](const testing::TestParamInfo<RemoveCase> &info) {
                             return std::string(info.param.label);
                         });

TEST(List, RemovingTheOnlyNodeEmptiesTheList) {
    list_node *list = build("a");
    list_node *head = list_head(&list);
    list_remove(&list, &head);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(list_is_empty(&list), 1);
}

// Positions live outside the list, so walks do not disturb one another.
TEST(List, SeveralPositionsWalkSideBySide) {
    list_node *list = build("abcd");
    list_node *slow = list_head(&list);
    list_node *fast = list_head(&list);
    std::string seen;
    while (fast != nullptr) {
        seen += name_of(list_next(&list, &fast));
        if (fast != nullptr) {
            seen += name_of(list_next(&list, &fast));
        }
        seen += name_of(list_next(&list, &slow));
        seen += '|';
    }
    EXPECT_EQ(seen, "aba|cdb|");
    EXPECT_EQ(list_get(&list, &slow), item('c'));

    // Removing where one walk stands leaves another walk intact once it has
    // moved off.
    list_node *other = slow;
    list_previous(&list, &other);
    list_remove(&list, &slow);
    EXPECT_EQ(list_next(&list, &other), item('b'));
    EXPECT_EQ(list_next(&list, &other), item('d'));
    EXPECT_EQ(forward(&list), "abd");
    destroy(&list);
}

TEST(List, NullPositionsAreHarmless) {
    list_node *list = build("a");
    list_node *past_end = nullptr;
    EXPECT_EQ(list_next(&list, &past_end), nullptr);
    EXPECT_EQ(list_previous(&list, &past_end), nullptr);
    EXPECT_EQ(list_get(&list, &past_end), nullptr);
    list_remove(&list, &past_end);
    EXPECT_EQ(forward(&list), "a");
    destroy(&list);
}

}  // namespace
