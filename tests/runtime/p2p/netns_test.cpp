#include <gtest/gtest.h>
TEST(P2pNetns, Placeholder) {}
