#include <windows.h>

#include <gtest/gtest.h>

TEST(Resources, Placeholder) { EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(103), MAKEINTRESOURCEW(10)), nullptr); }
