// A release function for graded entities that records every call, so tests
// can tell exactly when an entity's body died and with which data.

#ifndef TOKENWEAVE_TESTS_CONTAINERS_RELEASE_LOG_H
#define TOKENWEAVE_TESTS_CONTAINERS_RELEASE_LOG_H

#include <gtest/gtest.h>

#include <vector>

namespace tw_test {

// Data pointers passed to record_release, in call order.
inline std::vector<void *> released;

inline void record_release(void *data) {
    released.push_back(data);
}

// Distinct data pointers that nothing frees.
inline char tags[4096];
inline void *tag(int i) {
    return &tags[i];
}

// Starts every test with an empty log.
class ReleaseLogTest : public testing::Test {
protected:
    void SetUp() override { released.clear(); }
};

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_CONTAINERS_RELEASE_LOG_H
