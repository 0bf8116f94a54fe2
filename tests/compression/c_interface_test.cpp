// The interface seen from a C translation unit (c_interface.c).
#include <cinelark/cl.h>
#include <gtest/gtest.h>

extern "C" int clFromC_QueryRleScheme(void);
extern "C" int clFromC_OpenSetClose(void);

TEST(ClFromC, HeaderCompilesAndLinksAsC) {
  EXPECT_EQ(clFromC_QueryRleScheme(), CL_RLE);
  EXPECT_EQ(clFromC_OpenSetClose(), 0);
}
