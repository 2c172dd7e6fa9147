// A family's set of parameter ids on its own: an id is held once however often it is added,
// goes on its removal, and is the only one only while no other is held.
#include <gtest/gtest.h>

#include "core/model/ParamIdSet.h"

TEST(ParamIdSetTest, AddTwice_HeldOnceAndOneRemovalTakesItOut) {
  CParamIdSet ids;
  EXPECT_FALSE(ids.Has(7));
  ids.Add(7);
  ids.Add(7);
  EXPECT_TRUE(ids.Has(7));
  EXPECT_TRUE(ids.IsOnly(7));
  ids.Remove(7);
  EXPECT_FALSE(ids.Has(7));
  EXPECT_FALSE(ids.IsOnly(7));
}

TEST(ParamIdSetTest, IsOnly_FalseWhileAnotherIdIsHeldAndTrueAgainWhenItGoes) {
  CParamIdSet ids;
  ids.Add(1);
  ids.Add(2);
  EXPECT_FALSE(ids.IsOnly(1));
  EXPECT_FALSE(ids.IsOnly(2));
  ids.Remove(3);  // not held: nothing changes
  EXPECT_TRUE(ids.Has(1));
  EXPECT_TRUE(ids.Has(2));
  ids.Remove(2);
  EXPECT_TRUE(ids.IsOnly(1));
  EXPECT_FALSE(ids.IsOnly(2));
}
