#include "support/environment.h"

#include <gtest/gtest.h>

namespace Vadu {
namespace {

TEST(Environment, SetReadAndUnsetWithUnicodeValues) {
  const WString name(u"ZENTU_ENVIRONMENT_TEST");
  ASSERT_TRUE(SetEnvironmentValue(name, u"caf\u00e9 \u4e2d"));
  EXPECT_EQ(GetEnvironmentValue(name), u"caf\u00e9 \u4e2d");
  ASSERT_TRUE(SetEnvironmentValue(name, u""));
  EXPECT_EQ(GetEnvironmentValue(name), u"");
  EXPECT_EQ(GetEnvironmentValue(u"ZENTU_NEVER_SET_VARIABLE"), u"");
}

}  // namespace
}  // namespace Vadu
