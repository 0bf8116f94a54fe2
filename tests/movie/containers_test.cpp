// The track set and the id registry.
#include "error.h"
#include "registry.h"
#include "trackset.h"

#include <gtest/gtest.h>

namespace {

TEST(TrackSet, KeepsOrderMovesTheLastIdIntoARemovedSlotAndHoldsTen)
{
    MVtrackset *set = nullptr;
    ASSERT_EQ(__mvIS_Create(&set), 0);
    EXPECT_EQ(__mvIS_Size(set), 0);
    for (MVid id : {10012, 10023, 10032})
        ASSERT_EQ(__mvIS_Add(set, id), 0);
    ASSERT_EQ(__mvIS_Remove(set, 10012), 0);
    ASSERT_EQ(__mvIS_Size(set), 2);
    EXPECT_EQ(__mvIS_Elem(set, 0), 10032);
    EXPECT_EQ(__mvIS_Elem(set, 1), 10023);
    EXPECT_EQ(__mvIS_Elem(set, 2), 0);
    EXPECT_EQ(__mvIS_Elem(set, -1), 0);
    // Removing the last one leaves the others in place; an absent id is a
    // bad id.
    ASSERT_EQ(__mvIS_Remove(set, 10023), 0);
    EXPECT_EQ(__mvIS_Elem(set, 0), 10032);
    EXPECT_EQ(__mvIS_Remove(set, 10022), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_ID);
    EXPECT_EQ(__mvIS_Size(set), 1);

    // Ten tracks fill it; a freed slot can be used again.
    ASSERT_EQ(__mvIS_Remove(set, 10032), 0);
    for (int i = 0; i < MV_TRACKSET_SIZE; ++i)
        ASSERT_EQ(__mvIS_Add(set, 10002 + 10 * i), 0);
    EXPECT_EQ(__mvIS_Add(set, 99992), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_NO_MEMORY);
    EXPECT_EQ(__mvIS_Size(set), MV_TRACKSET_SIZE);
    EXPECT_EQ(__mvIS_Elem(set, MV_TRACKSET_SIZE - 1), 10092);
    ASSERT_EQ(__mvIS_Remove(set, 10002), 0);
    EXPECT_EQ(__mvIS_Add(set, 99992), 0);
    __mvIS_Destroy(set);
}

TEST(Registry, FindsObjectsAndListsTheNewestFirst)
{
    MVregistry *r = nullptr;
    ASSERT_EQ(__mvM_Create(&r), 0);
    int a = 1, b = 2, c = 3;
    ASSERT_EQ(__mvM_Add(r, 10001, &a), 0);
    ASSERT_EQ(__mvM_Add(r, 10011, &b), 0);
    ASSERT_EQ(__mvM_Add(r, 10021, &c), 0);
    EXPECT_EQ(__mvM_Count(r), 3);
    EXPECT_EQ(__mvM_IdAt(r, 0), 10021);
    EXPECT_EQ(__mvM_IdAt(r, 2), 10001);
    EXPECT_EQ(__mvM_IdAt(r, 3), -1);
    void *found = nullptr;
    ASSERT_EQ(__mvM_Find(r, 10011, &found), 0);
    EXPECT_EQ(found, &b);
    EXPECT_EQ(__mvM_Find(r, 10011, nullptr), 0);

    ASSERT_EQ(__mvM_Remove(r, 10011), 0);
    EXPECT_EQ(__mvM_Find(r, 10011, &found), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_ID);
    EXPECT_EQ(__mvM_IdAt(r, 0), 10021);
    EXPECT_EQ(__mvM_IdAt(r, 1), 10001);
    EXPECT_EQ(__mvM_Find(r, -1, &found), -1) << "the sentinel is not an entry";
    EXPECT_EQ(__mvM_Remove(r, -1), -1);
    EXPECT_EQ(__mvM_Remove(r, 10011), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_ID);
    EXPECT_EQ(__mvM_Count(r), 2);
    // Destroyed with its entries: under AddressSanitizer nothing leaks.
    __mvM_Destroy(r);
}

}  // namespace
