#include "support/command_line_options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <random>

namespace Vadu {

// Readable failure messages for wide strings.
static void PrintTo(const WString& text, std::ostream* out) {
  *out << '"' << ToUtf8(text).CStr() << '"';
}

namespace {

// The table the utility registers, in its order.
std::vector<OptionDefinition> UtilityDefinitions() {
  return {
      {u"-resource", u"Path to directory with resources", true},
      {u"-target", u"Path to Zentu executable file", true},
      {u"-icon", u"Path to icon file", true},
      {u"-packresource", u"Path to directory with resources", true},
      {u"-outdir", u"Path to directory where will write result (optional)", true},
      {u"-getxml", u"Create XML file with OEM Information", false},
      {u"-unpack", u"Unpack resources from executable path", true},
  };
}

class CommandLineOptionsTest : public ::testing::Test {
 protected:
  CommandLineOptionsTest() { options.SetDefinitions(UtilityDefinitions()); }

  void Parse(const std::vector<WString>& arguments) { options.ParseArguments(arguments); }
  std::vector<WString> Free() const { return options.FreeWords(); }

  CommandLineOptions options;
};

using Words = std::vector<WString>;

TEST_F(CommandLineOptionsTest, ValuesFollowTheirOptionsInAnyOrder) {
  Parse({u"-target", u"T.exe", u"-resource", u"R", u"-icon", u"I.ico", u"-outdir", u"O"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"T.exe");
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"R");
  EXPECT_EQ(options.GetOptionValue(u"-icon"), u"I.ico");
  EXPECT_EQ(options.GetOptionValue(u"-outdir"), u"O");
  EXPECT_FALSE(options.HasOption(u"-unpack"));
  EXPECT_FALSE(options.HasOption(u"-getxml"));
  EXPECT_EQ(options.Values().size(), 4u);
  EXPECT_TRUE(Free().empty());
  EXPECT_EQ(options.JoinedLine(), u"-target T.exe -resource R -icon I.ico -outdir O");
}

TEST_F(CommandLineOptionsTest, ArgumentWithASpaceIsQuotedInTheLineAndUnquotedInTheValue) {
  Parse({u"-target", u"C:\\My Files\\a.exe", u"-resource", u"res dir"});
  EXPECT_EQ(options.JoinedLine(), u"-target \"C:\\My Files\\a.exe\" -resource \"res dir\"");
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"C:\\My Files\\a.exe");
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"res dir");
  EXPECT_TRUE(Free().empty());

  // Only spaces make an argument quoted; tabs and quotes pass as they are.
  EXPECT_EQ(CommandLineOptions::JoinArguments({u"a\tb", u"x\"y", u"", u"z"}), u"a\tb x\"y  z");
}

TEST_F(CommandLineOptionsTest, OptionFollowedByAnotherOptionOrNothingHasAnEmptyValue) {
  Parse({u"-resource", u"-target", u"X"});
  EXPECT_TRUE(options.HasOption(u"-resource"));
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"");
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"X");
  EXPECT_TRUE(Free().empty());

  Parse({u"-resource", u"D", u"-target"});
  EXPECT_TRUE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"");
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"D");
  EXPECT_TRUE(Free().empty());

  // An empty argument leaves two spaces; the value search skips them and meets the next option.
  Parse({u"-target", u"", u"-resource", u"R"});
  EXPECT_TRUE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"");
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"R");
}

TEST_F(CommandLineOptionsTest, ValueBeginningWithADashNeedsTheNameEqualsValueForm) {
  Parse({u"-target", u"-x.exe"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"");
  EXPECT_EQ(Free(), Words{u"-x.exe"});

  Parse({u"-target=-x.exe"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"-x.exe");
  EXPECT_EQ(Free(), Words{u"-target"});
}

TEST_F(CommandLineOptionsTest, OptionWithoutValueNeverTakesTheNextWord) {
  Parse({u"-getxml", u"foo"});
  EXPECT_TRUE(options.HasOption(u"-getxml"));
  EXPECT_EQ(options.GetOptionValue(u"-getxml"), u"");
  EXPECT_EQ(Free(), Words{u"foo"});
  EXPECT_TRUE(options.HasOption(u"foo"));
  EXPECT_TRUE(options.HasOption(u"-foo"));  // through the dash-less fallback
}

TEST_F(CommandLineOptionsTest, RepeatedOptionKeepsTheFirstValue) {
  Parse({u"-target", u"A", u"-target", u"B"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"A");
  EXPECT_EQ(Free(), (Words{u"-target", u"B"}));
  EXPECT_TRUE(options.HasOption(u"B"));

  Parse({u"x=1", u"x=2", u"x"});
  EXPECT_EQ(options.GetOptionValue(u"x"), u"1");
  EXPECT_EQ(Free(), (Words{u"x", u"x", u"x"}));
}

TEST_F(CommandLineOptionsTest, NameEqualsValueTokensWithAndWithoutTheDash) {
  Parse({u"target=X"});
  EXPECT_TRUE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"X");
  EXPECT_EQ(options.Values().count(u"-target"), 0u);
  EXPECT_EQ(Free(), Words{u"target"});

  Parse({u"-target=X"});
  EXPECT_TRUE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"X");
  EXPECT_EQ(options.Values().count(u"-target"), 1u);
  // The fallback drops a dash; it never adds one.
  EXPECT_FALSE(options.HasOption(u"target"));
  EXPECT_EQ(options.GetOptionValue(u"target"), u"");

  // Only the first "=" splits.
  Parse({u"unpack=C:\\a=b.exe", u"=v"});
  EXPECT_EQ(options.GetOptionValue(u"-unpack"), u"C:\\a=b.exe");
  EXPECT_EQ(options.GetOptionValue(u""), u"v");
  EXPECT_EQ(Free(), (Words{u"unpack", u""}));
}

TEST_F(CommandLineOptionsTest, BareWordSelectsAnOptionThroughTheFallback) {
  Parse({u"getxml"});
  EXPECT_TRUE(options.HasOption(u"-getxml"));
  EXPECT_FALSE(options.HasOption(u"-unpack"));
  EXPECT_EQ(Free(), Words{u"getxml"});

  // A defined name that is only part of a word is no option.
  Parse({u"x-target", u"Y", u"-targets", u"Z"});
  EXPECT_FALSE(options.HasOption(u"-target"));
  EXPECT_EQ(Free(), (Words{u"x-target", u"Y", u"-targets", u"Z"}));
}

TEST_F(CommandLineOptionsTest, NamesAreCaseSensitive) {
  Parse({u"-Target", u"X", u"-GETXML"});
  EXPECT_FALSE(options.HasOption(u"-target"));
  EXPECT_FALSE(options.HasOption(u"-getxml"));
  EXPECT_TRUE(options.HasOption(u"-Target"));
  EXPECT_EQ(options.GetOptionValue(u"-Target"), u"");
  EXPECT_EQ(Free(), (Words{u"-Target", u"X", u"-GETXML"}));
}

TEST_F(CommandLineOptionsTest, IgnoredPrefixKeepsWordsOutOfTheFreeListOnly) {
  Parse({u"-psn_0_1234567", u"-getxml", u"-psn_=x", u"psn_1", u"-psn"});
  EXPECT_TRUE(options.HasOption(u"-getxml"));
  EXPECT_TRUE(options.HasOption(u"-psn_0_1234567"));
  EXPECT_EQ(options.GetOptionValue(u"-psn_"), u"x");
  EXPECT_EQ(Free(), (Words{u"psn_1", u"-psn"}));

  // Without definitions nothing is ignored and every word is free.
  CommandLineOptions bare;
  bare.ParseArguments({u"-psn_1", u"-target", u"X"});
  EXPECT_EQ(bare.FreeWords(), (Words{u"-psn_1", u"-target", u"X"}));
  EXPECT_EQ(bare.GetOptionValue(u"-target"), u"");
}

TEST_F(CommandLineOptionsTest, QuotesGroupOnlyInValuesOfDefinedOptions) {
  // The quoted argument of an option without a value falls apart into words.
  Parse({u"-getxml", u"a b"});
  EXPECT_EQ(Free(), (Words{u"\"a", u"b\""}));

  // A quoted value ends at its closing quote; the rest of that word goes with it.
  Parse({u"-target", u"a b", u"-outdir", u"o"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"a b");
  EXPECT_EQ(options.GetOptionValue(u"-outdir"), u"o");
  EXPECT_TRUE(Free().empty());

  // Blanks at the ends of a quoted value are trimmed.
  Parse({u"-target", u"  padded value \t"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"padded value");
}

TEST_F(CommandLineOptionsTest, UnbalancedQuotesAndOddEndingsAreSafe) {
  Parse({u"-target", u"\"abc"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"abc");
  EXPECT_TRUE(Free().empty());

  Parse({u"-target", u"\""});
  EXPECT_TRUE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"");

  // An unclosed quote runs to the end and swallows what follows.
  Parse({u"-target", u"\"a", u"-resource", u"r"});
  EXPECT_EQ(options.GetOptionValue(u"-resource"), u"r");
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"a");

  Parse({u"-unpack", u"\"x", u"y"});
  EXPECT_EQ(options.GetOptionValue(u"-unpack"), u"x y");
  EXPECT_TRUE(Free().empty());

  Parse({u"-target", u"x\"", u"-getxml"});
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"x\"");
  EXPECT_TRUE(options.HasOption(u"-getxml"));

  Parse({u"   ", u"\t", u"-outdir"});
  EXPECT_TRUE(options.HasOption(u"-outdir"));
  EXPECT_EQ(options.GetOptionValue(u"-outdir"), u"");
  EXPECT_EQ(Free(), (Words{u"\"", u"\""}));
}

TEST_F(CommandLineOptionsTest, EmptyCommandLineGivesNothingAndParsingStartsAfresh) {
  Parse({u"-target", u"X", u"free"});
  ASSERT_TRUE(options.HasOption(u"-target"));
  Parse({});
  EXPECT_TRUE(options.Values().empty());
  EXPECT_TRUE(Free().empty());
  EXPECT_EQ(options.JoinedLine(), u"");
  EXPECT_FALSE(options.HasOption(u"-target"));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"");
  EXPECT_FALSE(options.HasOption(u"-"));

  Parse({u""});
  EXPECT_TRUE(options.Values().empty());
  EXPECT_TRUE(Free().empty());
}

TEST_F(CommandLineOptionsTest, DllVectorIsTakenFromArgvAsUtf8) {
  const char* argv[] = {"dll", "-target",
                        "C:\\Pr\xC3\xBC"
                        "fung \xE2\x82\xAC\\a.exe",
                        "-getxml", "k=v"};
  options.Parse(5, argv);
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"C:\\Prüfung €\\a.exe");
  EXPECT_TRUE(options.HasOption(u"-getxml"));
  EXPECT_EQ(options.GetOptionValue(u"k"), u"v");
  EXPECT_EQ(options.JoinedLine(), u"-target \"C:\\Prüfung €\\a.exe\" -getxml k=v");

  const char* onlyDll[] = {"dll"};
  options.Parse(1, onlyDll);
  EXPECT_TRUE(options.Values().empty());
  EXPECT_EQ(options.JoinedLine(), u"");
}

// Random argument lists built from the characters that drive the parse: whatever the input, the
// parse stays within its text, every free word is stored, and stored values of defined options
// carry no blanks at their ends.
TEST_F(CommandLineOptionsTest, RandomArgumentListsKeepTheInvariants) {
  const WString pieces[] = {u"-target", u"-getxml", u"-resource", u"\"",    u" ",  u"\t",
                            u"-",       u"=",       u"a",         u"-psn_", u"\\", u"\r\n"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::vector<WString> arguments(random() % 6);
    for (WString& argument : arguments)
      for (int k = random() % 4; k > 0; --k) argument += pieces[random() % std::size(pieces)];
    Parse(arguments);
    for (const WString& word : Free()) EXPECT_EQ(options.Values().count(word), 1u);
    for (const OptionDefinition& definition : UtilityDefinitions()) {
      auto found = options.Values().find(definition.name);
      if (found == options.Values().end() || !definition.takesValue) continue;
      if (options.JoinedLine().Contains(definition.name + u"=")) continue;  // a free token
      EXPECT_EQ(found->second, found->second.Trim());
    }
  }
}

}  // namespace
}  // namespace Vadu
