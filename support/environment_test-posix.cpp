#include <stdlib.h>

#include <gtest/gtest.h>

#include "support/environment.h"

namespace Vadu {
namespace {

TEST(PosixEnvironment, ValuesThatAreNotUtf8PassThroughUnchanged) {
  const char* name = "ZENTU_ENVIRONMENT_BYTES_TEST";
  const String bytes("/opt/caf\xE9/\xFF\xC0\xAE");
  ASSERT_EQ(setenv(name, bytes.CStr(), 1), 0);
  const WString value = GetEnvironmentValue(FromUtf8(String(name)));
  EXPECT_EQ(ToUtf8(value), bytes);
  // Set again through the layer: the process sees the same bytes.
  ASSERT_TRUE(SetEnvironmentValue(FromUtf8(String(name)), value + u"/x"));
  const char* seen = getenv(name);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(String(seen), bytes + "/x");
  unsetenv(name);
}

}  // namespace
}  // namespace Vadu
