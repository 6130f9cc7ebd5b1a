#include "support/system_error.h"

#include <gtest/gtest.h>

#include "support/file_system.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;
using Testing::Wide;

TEST(SystemError, WhyAFileCannotBeReadInTheSystemsWords) {
  Testing::TempFolder folder;
  const WString missing = Wide(folder.Path() / "missing.txt");
  Testing::WriteFileBytes(folder.Path() / "there.txt", "x");

  // The system's text for a missing file: a sentence, not a number.
  const String reason = WhyUnreadable(missing);
  EXPECT_GT(reason.Length(), 8u);
  EXPECT_EQ(Std(reason).find("error "), std::string::npos) << Std(reason);
  EXPECT_NE(Std(reason).back(), '\n');
  EXPECT_EQ(Std(WhyUnreadable(Wide(folder.Path()))), "it is a folder");
  EXPECT_TRUE(WhyUnreadable(Wide(folder.Path() / "there.txt")).IsEmpty());
  // A code the system has no text for is still named.
  EXPECT_FALSE(SystemErrorText(-12345).IsEmpty());
  EXPECT_NE(Std(SystemErrorText(-12345)), Std(reason));
}

}  // namespace
}  // namespace Vadu
