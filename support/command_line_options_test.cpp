#include "support/command_line_options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <ostream>
#include <random>

namespace Vadu {

// Readable failure messages for wide strings.
static void PrintTo(const WString& text, std::ostream* out) {
  *out << '"' << ToUtf8(text).CStr() << '"';
}

namespace {

using Words = std::vector<WString>;

// Options like the utility's: all but -getxml take a value.
std::vector<OptionDefinition> Definitions() {
  std::vector<OptionDefinition> definitions;
  for (const char16_t* name :
       {u"-resource", u"-target", u"-icon", u"-packresource", u"-outdir", u"-getxml", u"-unpack"})
    definitions.push_back({name, u"", WString(name) != u"-getxml"});
  return definitions;
}

class CommandLineOptionsTest : public ::testing::Test {
 protected:
  CommandLineOptionsTest() { options.SetDefinitions(Definitions()); }
  CommandLineOptions options;
};

// One parse: the options expected present with their values (a null value: expected absent) and,
// where given, the free words.
struct ParseCase {
  Words arguments;
  std::vector<std::pair<const char16_t*, const char16_t*>> options;
  std::optional<Words> free;
};

TEST_F(CommandLineOptionsTest, ParsesEachCommandLineAsDocumented) {
  const ParseCase cases[] = {
      {{u"-target", u"T.exe", u"-resource", u"R", u"-icon", u"I.ico"},
       {{u"-target", u"T.exe"}, {u"-resource", u"R"}, {u"-icon", u"I.ico"}, {u"-getxml", nullptr}},
       Words{}},
      {{u"-target", u"C:\\My Files\\a.exe", u"-resource", u"res dir"},
       {{u"-target", u"C:\\My Files\\a.exe"}, {u"-resource", u"res dir"}},
       Words{}},
      // An option followed by another option, by nothing or by an empty argument has an empty
      // value.
      {{u"-resource", u"-target", u"X"}, {{u"-resource", u""}, {u"-target", u"X"}}, Words{}},
      {{u"-resource", u"D", u"-target"}, {{u"-resource", u"D"}, {u"-target", u""}}, Words{}},
      {{u"-target", u"", u"-resource", u"R"}, {{u"-target", u""}, {u"-resource", u"R"}}, Words{}},
      // A value beginning with a dash needs the name=value form.
      {{u"-target", u"-x.exe"}, {{u"-target", u""}}, Words{u"-x.exe"}},
      {{u"-target=-x.exe"}, {{u"-target", u"-x.exe"}}, Words{u"-target"}},
      // An option without a value never takes the next word; lookups drop a dash, never add one.
      {{u"-getxml", u"foo"}, {{u"-getxml", u""}, {u"foo", u""}, {u"-foo", u""}}, Words{u"foo"}},
      {{u"getxml"}, {{u"-getxml", u""}, {u"-unpack", nullptr}}, Words{u"getxml"}},
      {{u"target=X"}, {{u"-target", u"X"}}, Words{u"target"}},
      {{u"-target=X"}, {{u"-target", u"X"}, {u"target", nullptr}}, Words{u"-target"}},
      // The first of a repeated option wins; only the first "=" splits.
      {{u"-target", u"A", u"-target", u"B"},
       {{u"-target", u"A"}, {u"B", u""}},
       Words{u"-target", u"B"}},
      {{u"x=1", u"x=2", u"x"}, {{u"x", u"1"}}, Words{u"x", u"x", u"x"}},
      {{u"unpack=C:\\a=b.exe", u"=v"},
       {{u"-unpack", u"C:\\a=b.exe"}, {u"", u"v"}},
       Words{u"unpack", u""}},
      // Names are whole words and case-sensitive.
      {{u"x-target", u"Y", u"-targets", u"Z"},
       {{u"-target", nullptr}},
       Words{u"x-target", u"Y", u"-targets", u"Z"}},
      {{u"-Target", u"X", u"-GETXML"},
       {{u"-target", nullptr}, {u"-getxml", nullptr}, {u"-Target", u""}},
       Words{u"-Target", u"X", u"-GETXML"}},
      // Words with the ignored prefix are options but not free words.
      {{u"-psn_0_1234567", u"-getxml", u"-psn_=x", u"psn_1", u"-psn"},
       {{u"-getxml", u""}, {u"-psn_0_1234567", u""}, {u"-psn_", u"x"}},
       Words{u"psn_1", u"-psn"}},
      // Quotes group only in values of defined options; blanks at their ends are trimmed.
      {{u"-getxml", u"a b"}, {{u"-getxml", u""}}, Words{u"\"a", u"b\""}},
      {{u"-target", u"a b", u"-outdir", u"o"}, {{u"-target", u"a b"}, {u"-outdir", u"o"}}, Words{}},
      {{u"-target", u"  padded value \t"}, {{u"-target", u"padded value"}}, std::nullopt},
      // Unbalanced quotes and odd endings.
      {{u"-target", u"\"abc"}, {{u"-target", u"abc"}}, Words{}},
      {{u"-target", u"\""}, {{u"-target", u""}}, std::nullopt},
      {{u"-target", u"\"a", u"-resource", u"r"},
       {{u"-target", u"a"}, {u"-resource", u"r"}},
       std::nullopt},
      {{u"-unpack", u"\"x", u"y"}, {{u"-unpack", u"x y"}}, Words{}},
      {{u"-target", u"x\"", u"-getxml"}, {{u"-target", u"x\""}, {u"-getxml", u""}}, std::nullopt},
      {{u"   ", u"\t", u"-outdir"}, {{u"-outdir", u""}}, Words{u"\"", u"\""}},
      {{}, {{u"-target", nullptr}, {u"-", nullptr}}, Words{}},
      {{u""}, {}, Words{}},
  };
  for (const ParseCase& c : cases) {
    options.ParseArguments(c.arguments);
    const std::string line = ToUtf8(CommandLineOptions::JoinArguments(c.arguments)).CStr();
    for (const auto& [name, value] : c.options) {
      EXPECT_EQ(options.HasOption(name), value != nullptr) << line << " | " << ToUtf8(name).CStr();
      EXPECT_EQ(options.GetOptionValue(name), value ? value : u"") << line;
    }
    if (c.free) {
      EXPECT_EQ(options.FreeWords(), *c.free) << line;
    }
  }
}

TEST_F(CommandLineOptionsTest, JoinedLineQuotesOnlyArgumentsWithSpaces) {
  options.ParseArguments({u"-target", u"C:\\My Files\\a.exe", u"-resource", u"R"});
  EXPECT_EQ(options.JoinedLine(), u"-target \"C:\\My Files\\a.exe\" -resource R");
  EXPECT_EQ(options.Values().size(), 2u);
  EXPECT_EQ(CommandLineOptions::JoinArguments({u"a\tb", u"x\"y", u"", u"z"}), u"a\tb x\"y  z");
  // Parsing starts afresh.
  options.ParseArguments({});
  EXPECT_TRUE(options.Values().empty());
  EXPECT_EQ(options.JoinedLine(), u"");
}

TEST_F(CommandLineOptionsTest, WithoutDefinitionsEveryWordIsFree) {
  CommandLineOptions bare;
  bare.ParseArguments({u"-psn_1", u"-target", u"X"});
  EXPECT_EQ(bare.FreeWords(), (Words{u"-psn_1", u"-target", u"X"}));
  EXPECT_EQ(bare.GetOptionValue(u"-target"), u"");
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
  const char* onlyDll[] = {"dll"};
  options.Parse(1, onlyDll);
  EXPECT_TRUE(options.Values().empty());
}

// Random argument lists built from the characters that drive the parse: whatever the input, every
// free word is stored, and stored values of defined options carry no blanks at their ends.
TEST_F(CommandLineOptionsTest, RandomArgumentListsKeepTheInvariants) {
  const WString pieces[] = {u"-target", u"-getxml", u"-resource", u"\"",    u" ",  u"\t",
                            u"-",       u"=",       u"a",         u"-psn_", u"\\", u"\r\n"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::vector<WString> arguments(random() % 6);
    for (WString& argument : arguments)
      for (int k = random() % 4; k > 0; --k) argument += pieces[random() % std::size(pieces)];
    options.ParseArguments(arguments);
    for (const WString& word : options.FreeWords()) EXPECT_EQ(options.Values().count(word), 1u);
    for (const OptionDefinition& definition : Definitions()) {
      auto found = options.Values().find(definition.name);
      if (found == options.Values().end() || !definition.takesValue) continue;
      if (options.JoinedLine().Contains(definition.name + u"=")) continue;  // a free token
      EXPECT_EQ(found->second, found->second.Trim());
    }
  }
}

}  // namespace
}  // namespace Vadu
