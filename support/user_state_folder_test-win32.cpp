#include <gtest/gtest.h>

#include "support/environment.h"
#include "support/user_state_folder.h"

namespace Vadu {
namespace {

TEST(UserStateFolder, TheLocalApplicationDataFolder) {
  const WString saved = GetEnvironmentValue(u"LOCALAPPDATA");
  SetEnvironmentValue(u"LOCALAPPDATA", u"C:\\Users\\u\\AppData\\Local");
  EXPECT_EQ(UserStateFolder(u"tool"), WString(u"C:\\Users\\u\\AppData\\Local\\tool"));
  SetEnvironmentValue(u"LOCALAPPDATA", u"");
  EXPECT_EQ(UserStateFolder(u"tool"), WString());
  SetEnvironmentValue(u"LOCALAPPDATA", saved);
}

}  // namespace
}  // namespace Vadu
