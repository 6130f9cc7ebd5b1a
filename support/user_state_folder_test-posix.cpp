#include <gtest/gtest.h>

#include "support/environment.h"
#include "support/user_state_folder.h"

namespace Vadu {
namespace {

// Sets environment variables for the test's lifetime, then puts the old values back.
class ScopedVariables {
 public:
  ScopedVariables(std::initializer_list<std::pair<WString, WString>> values) {
    for (const auto& [name, value] : values) {
      saved_.emplace_back(name, GetEnvironmentValue(name));
      SetEnvironmentValue(name, value);
    }
  }
  ~ScopedVariables() {
    for (const auto& [name, value] : saved_) SetEnvironmentValue(name, value);
  }

 private:
  std::vector<std::pair<WString, WString>> saved_;
};

TEST(UserStateFolder, XdgStateHomeThenTheHomeFolder) {
  {
    ScopedVariables set{{u"XDG_STATE_HOME", u"/var/state"}, {u"HOME", u"/home/u"}};
    EXPECT_EQ(UserStateFolder(u"tool"), WString(u"/var/state/tool"));
  }
  {
    // A relative value is not a base directory.
    ScopedVariables set{{u"XDG_STATE_HOME", u"state"}, {u"HOME", u"/home/u"}};
    EXPECT_EQ(UserStateFolder(u"tool"), WString(u"/home/u/.local/state/tool"));
  }
  {
    ScopedVariables set{{u"XDG_STATE_HOME", u""}, {u"HOME", u""}};
    EXPECT_EQ(UserStateFolder(u"tool"), WString());
  }
}

}  // namespace
}  // namespace Vadu
