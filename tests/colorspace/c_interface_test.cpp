// The public interface called from C (c_caller.c).
#include "colorspace_test_util.h"

extern "C" int colorspaceFromC(uint32_t words[2], uint8_t grey[2]);

namespace cstest {
namespace {

TEST_F(SwitchesOff, CallableFromC)
{
    uint32_t words[2] = {};
    uint8_t grey[2] = {};
    EXPECT_EQ(colorspaceFromC(words, grey), 0);
    EXPECT_EQ(words[0], 0xFF000000u);
    EXPECT_EQ(words[1], 0xFFFFFFFFu);
    EXPECT_EQ(grey[0], 0);
    EXPECT_EQ(grey[1], 255);
}

}  // namespace
}  // namespace cstest
