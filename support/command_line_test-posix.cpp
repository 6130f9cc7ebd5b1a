#include "support/command_line.h"

#include <gtest/gtest.h>

#include "support/command_line_options.h"

namespace Vadu {
namespace {

TEST(SystemArguments, PosixTakesArgvAfterTheProgramNameFromUtf8) {
  const char* argv[] = {"/usr/bin/zentu-rebrand", "-target", "/tmp/a b/\xC3\xA9t\xC3\xA9.tgz", ""};
  EXPECT_EQ(SystemArguments(4, argv), (std::vector<WString>{u"-target", u"/tmp/a b/été.tgz", u""}));
  EXPECT_TRUE(SystemArguments(1, argv).empty());
  EXPECT_TRUE(SystemArguments(0, nullptr).empty());
}

TEST(SystemArguments, ArgumentsThatAreNotUtf8ComeBackByteForByte) {
  const char* argv[] = {"zentu-rebrand", "-target", "/tmp/caf\xE9/\xFF.tgz", "\xC0\xAE\xC0\xAE"};
  const std::vector<WString> arguments = SystemArguments(4, argv);
  ASSERT_EQ(arguments.size(), 3u);
  EXPECT_EQ(ToUtf8(arguments[1]), argv[2]);
  EXPECT_EQ(ToUtf8(arguments[2]), argv[3]);
  EXPECT_NE(arguments[2], u"..");
}

TEST(SystemArguments, ParseWithoutTheDllWordSkipsTheProgramName) {
  CommandLineOptions options;
  options.SetDefinitions({{u"-target", u"", true}, {u"-getxml", u"", false}});
  const char* argv[] = {"Dll", "-target", "/x/a b.exe", "-getxml"};
  options.Parse(4, argv);
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"/x/a b.exe");
  EXPECT_TRUE(options.HasOption(u"-getxml"));
  EXPECT_EQ(options.Values().size(), 2u);

  options.Parse(0, nullptr);
  EXPECT_TRUE(options.Values().empty());
}

}  // namespace
}  // namespace Vadu
