// The error number and message table.
#include "error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(ErrorTable, EveryLibraryNumberHasItsOwnMessageAndOthersTheSystemsOrNone)
{
    __mvSetErrorDetail("%s", "");
    std::string previous;
    for (int n = MV_ERR_BAD_ID; n <= MV_ERR_WRONG_TYPE; ++n) {
        const std::string text = mvGetErrorStr(n);
        EXPECT_FALSE(text.empty()) << n;
        EXPECT_NE(text, "Unknown movie library error") << n;
        EXPECT_NE(text, previous) << n;
        previous = text;
    }

    const struct {
        int number;
        const char *text;
    } cases[] = {{1001, "Bad movie or track ID"},
                 {2, strerror(2)},
                 {1000, "Unknown movie library error"},
                 {999999, "Unknown movie library error"}};
    for (const auto &c : cases)
        EXPECT_STREQ(mvGetErrorStr(c.number), c.text) << c.number;
}

TEST(ErrorTable, DetailReplacesThePlaceholderAndIsCutWhenOverlong)
{
    __mvSetErrorWithDetail(MV_ERR_WRONG_TYPE, "TITLE");
    EXPECT_EQ(mvGetErrno(), 1025);
    EXPECT_STREQ(mvGetErrorStr(mvGetErrno()), "Parameter value supplied is of the wrong type: TITLE");
    __mvSetErrorDetail("%s atom", "edts");
    EXPECT_STREQ(mvGetErrorStr(1007), "Unsupported QuickTime(tm) Feature: edts atom");
    // A detail holding a percent sign is printed as text, not as a format.
    __mvSetErrorWithDetail(MV_ERR_COMPRESSION, "100% %s %n");
    EXPECT_STREQ(mvGetErrorStr(1022), "Error in compression library: 100% %s %n");

    const std::string longDetail(5000, 'x');
    __mvSetErrorWithDetail(MV_ERR_WRONG_TYPE, longDetail.c_str());
    EXPECT_EQ(std::strlen(__mvErrorDetail), size_t(MV_ERROR_DETAIL_SIZE - 1));
    const std::string text = mvGetErrorStr(1025);
    EXPECT_EQ(text.rfind("Parameter value supplied is of the wrong type: xxx", 0), 0u);
}

}  // namespace
