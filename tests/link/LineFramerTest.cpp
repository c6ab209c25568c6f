#include "link/LineFramer.hpp"

#include <gtest/gtest.h>

namespace {

TEST(LineFramer, Placeholder) {
    EXPECT_TRUE(LineFramer{}.Cut("").lines.empty());
}

}  // namespace
