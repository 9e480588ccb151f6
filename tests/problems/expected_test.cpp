#include "problems/expected.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kirune {
namespace {

expected<int, std::string> half(int n) {
  if (n % 2 != 0) return unexpected(std::to_string(n) + " is odd");
  return n / 2;
}

TEST(Expected, HoldsAValueOrTheRefusal) {
  const auto good = half(8);
  ASSERT_TRUE(good.has_value());
  EXPECT_EQ(*good, 4);
  EXPECT_EQ(good.value(), 4);
  EXPECT_EQ(good.value_or(-1), 4);

  const auto bad = half(7);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error(), "7 is odd");
  EXPECT_EQ(bad.value_or(-1), -1);
  // Reading a refusal as a value is a fault, not a silent default.
  EXPECT_THROW((void)bad.value(), bad_expected_access);
}

TEST(Expected, MovesOnlyTypesAndVoid) {
  expected<std::unique_ptr<int>, std::string> owned = std::make_unique<int>(3);
  const std::unique_ptr<int> taken = std::move(owned).value();
  EXPECT_EQ(*taken, 3);

  const expected<void, std::string> ok;
  EXPECT_TRUE(ok.has_value());
  EXPECT_NO_THROW(ok.value());
  const expected<void, std::string> refused = unexpected(std::string("no"));
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.error(), "no");
  EXPECT_THROW(refused.value(), bad_expected_access);
}

}  // namespace
}  // namespace kirune
