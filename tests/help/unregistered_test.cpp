// The help client before the application registers: requests are refused
// without touching X.
#include <gtest/gtest.h>

#include "help/help.h"

namespace {

TEST(Help, RequestsBeforeRegistrationAreRefused)
{
    EXPECT_EQ(OrvoHelpMsg("cinelark.about", "*", 0), -1);
    EXPECT_EQ(OrvoHelpDialog(), nullptr);
    EXPECT_EQ(OrvoHelpInit(nullptr, "Cinelark", ";"), -1);
    EXPECT_EQ(OrvoHelpMsg("cinelark.about", "*", 0), -1);
}

}  // namespace
