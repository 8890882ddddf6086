#include "phone/FaultPlan.h"

#include <gtest/gtest.h>

namespace parlomax::phone {
namespace {

using Kind = FaultRule::Kind;

TEST(FaultPlan, ParsesCommandOccurrenceAndValue) {
  FaultPlan plan;
  plan.AddRule(Kind::Fail, "2@4");
  plan.AddRule(Kind::Stall, "4");
  plan.AddRule(Kind::Stall, "3@2:250");
  plan.AddRule(Kind::Short, "1:1");
  const auto& rules = plan.Rules();
  ASSERT_EQ(rules.size(), 4u);
  EXPECT_EQ(rules[0].command, 2);
  EXPECT_EQ(rules[0].occurrence, 4u);
  EXPECT_EQ(rules[1].value, 15000u);  // a stall outlasts the program's 10 s time-out
  EXPECT_EQ(rules[2].occurrence, 2u);
  EXPECT_EQ(rules[2].value, 250u);
  EXPECT_EQ(rules[3].value, 1u);
}

TEST(FaultPlan, RefusesMalformedRules) {
  FaultPlan plan;
  for (const char* bad : {"", "x", "2@", "2@0", "256", "2:5", "-1", "3@x:1"}) {
    EXPECT_THROW(plan.AddRule(Kind::Fail, bad), std::invalid_argument) << bad;
  }
  EXPECT_THROW(plan.AddRule(Kind::Short, "3"), std::invalid_argument);
  EXPECT_THROW(plan.AddRule(Kind::Stall, "3:abc"), std::invalid_argument);
}

TEST(FaultPlan, ActsOnTheCountedOccurrenceOfItsCommandOnly) {
  FaultPlan plan;
  plan.AddRule(Kind::Fail, "2@3");
  plan.AddRule(Kind::Short, "3:7");
  plan.SetLatencyMs(5);
  EXPECT_TRUE(plan.Next(2).reply);
  EXPECT_TRUE(plan.Next(1).reply);  // other commands do not count towards 2's third
  EXPECT_TRUE(plan.Next(2).reply);
  EXPECT_FALSE(plan.Next(2).reply);
  EXPECT_TRUE(plan.Next(2).reply);
  const auto shortened = plan.Next(3);
  EXPECT_EQ(shortened.truncateTo, 7u);
  EXPECT_EQ(shortened.delayMs, 5u);
}

TEST(FaultPlan, AReplyCutToNothingIsNoReplyAtAll) {
  FaultPlan plan;
  plan.AddRule(Kind::Short, "4:0");
  EXPECT_FALSE(plan.Next(4).reply);
}

TEST(FaultPlan, VanishesAfterTheGivenNumberOfCommands) {
  FaultPlan plan;
  plan.SetVanishAfter(2);
  plan.CountAnswered();
  EXPECT_FALSE(plan.ShouldVanish());
  plan.CountAnswered();
  EXPECT_TRUE(plan.ShouldVanish());
  EXPECT_FALSE(FaultPlan().ShouldVanish());
}

}  // namespace
}  // namespace parlomax::phone
