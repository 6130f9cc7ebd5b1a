#include "support/command_line_options.h"

#include <gtest/gtest.h>

#include <algorithm>
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
      // An option is a whole argument, and so is its value, whatever it holds.
      {{u"-resource", u"dir -target x.exe", u"-target", u"real.exe"},
       {{u"-resource", u"dir -target x.exe"}, {u"-target", u"real.exe"}},
       Words{}},
      {{u"-icon", u"i -target decoy.exe", u"-target", u"real.exe"},
       {{u"-icon", u"i -target decoy.exe"}, {u"-target", u"real.exe"}},
       Words{}},
      {{u"-target", u"a -resource b", u"-resource", u"r"},
       {{u"-target", u"a -resource b"}, {u"-resource", u"r"}},
       Words{}},
      {{u"-outdir", u"o -getxml x"},
       {{u"-outdir", u"o -getxml x"}, {u"-getxml", nullptr}},
       Words{}},
      {{u"x -getxml y", u"-target -resource"},
       {{u"-getxml", nullptr}, {u"-target", nullptr}, {u"-resource", nullptr}},
       Words{u"x -getxml y", u"-target -resource"}},
      {{u"-target", u"/my dir/a\"b.exe"}, {{u"-target", u"/my dir/a\"b.exe"}}, Words{}},
      {{u"-target", u"\"quoted\".exe", u"-getxml"},
       {{u"-target", u"\"quoted\".exe"}, {u"-getxml", u""}},
       Words{}},
      {{u"-target", u"\"a", u"-resource", u"r"},
       {{u"-target", u"\"a"}, {u"-resource", u"r"}},
       Words{}},
      {{u"-unpack", u"\"x", u"y\""}, {{u"-unpack", u"\"x"}}, Words{u"y\""}},
      {{u"-target", u"\""}, {{u"-target", u"\""}}, Words{}},
      // Blanks are part of a value; a leading blank makes a value of a text beginning with "-".
      {{u"-target", u"  padded value \t"}, {{u"-target", u"  padded value \t"}}, Words{}},
      {{u"-target", u"   ", u"-getxml"}, {{u"-target", u"   "}, {u"-getxml", u""}}, Words{}},
      {{u"-target", u"x.exe\r\n"}, {{u"-target", u"x.exe\r\n"}}, Words{}},
      {{u"-target", u" -x.exe"}, {{u"-target", u" -x.exe"}}, Words{}},
      // A value is the argument right after its option, never one further on.
      {{u"-target", u"-resource", u"R", u"X"},
       {{u"-target", u""}, {u"-resource", u"R"}},
       Words{u"X"}},
      {{u"-outdir", u"-packresource", u"R"},
       {{u"-outdir", u""}, {u"-packresource", u"R"}},
       Words{}},
      // Free arguments are tokens as given; only empty ones are dropped.
      {{u"-getxml", u"a b"}, {{u"-getxml", u""}, {u"a b", u""}}, Words{u"a b"}},
      {{u"k=a b ", u"", u"   ", u"-outdir"},
       {{u"k", u"a b "}, {u"-outdir", u""}},
       Words{u"k", u"   "}},
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

TEST_F(CommandLineOptionsTest, TellsTheWordsNoOptionNamesAndTheOptionsGivenTwice) {
  options.ParseArguments({u"-target", u"A", u"-psn_0_1", u"target=B", u"getxml", u"-getxml",
                          u"-Target", u"x=1", u"-unpack", u"-resource=R", u"resource", u"-x"});
  // Known in any of their forms: with or without the dash, with a value after "=".
  EXPECT_EQ(options.RepeatedOptions(), (Words{u"-target", u"-getxml", u"-resource"}));
  // Names are case-sensitive; an ignored prefix is never unknown; the whole word is told.
  EXPECT_EQ(options.UnknownWords(), (Words{u"-Target", u"x=1", u"-x"}));
  EXPECT_EQ(options.GetOptionValue(u"-target"), u"A");
  // A parse starts afresh.
  options.ParseArguments({u"-target", u"A"});
  EXPECT_TRUE(options.RepeatedOptions().empty());
  EXPECT_TRUE(options.UnknownWords().empty());
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

// True when `value` is one of the arguments whole, or the text after the first "=" of one.
bool IsWholeArgumentOrItsValuePart(const WString& value, const Words& arguments) {
  for (const WString& argument : arguments) {
    const uint32_t equals = argument.Find(u'=');
    if (argument == value || (equals != WString::npos && argument.Substring(equals + 1) == value))
      return true;
  }
  return false;
}

// Random argument lists built from the pieces that drive the parse: whatever the input, nothing
// is cut out of or joined across arguments, every free word is stored, and an option given as a
// whole argument is present with the argument after it, or nothing, as its value.
TEST_F(CommandLineOptionsTest, RandomArgumentListsKeepTheInvariants) {
  const WString pieces[] = {u"-target", u"-getxml", u"-resource", u"\"",    u" ",  u"\t",
                            u"-",       u"=",       u"a",         u"-psn_", u"\\", u"\r\n"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    Words arguments(random() % 6);
    for (WString& argument : arguments)
      for (int k = random() % 4; k > 0; --k) argument += pieces[random() % std::size(pieces)];
    options.ParseArguments(arguments);
    const std::string line = ToUtf8(CommandLineOptions::JoinArguments(arguments)).CStr();
    for (const WString& word : options.FreeWords()) EXPECT_EQ(options.Values().count(word), 1u);
    for (const auto& [name, value] : options.Values())
      EXPECT_TRUE(value.IsEmpty() || IsWholeArgumentOrItsValuePart(value, arguments)) << line;
    for (const OptionDefinition& definition : Definitions()) {
      const auto first = std::find(arguments.begin(), arguments.end(), definition.name);
      if (first == arguments.end()) continue;
      const auto next = first + 1;
      const bool valued =
          definition.takesValue && next != arguments.end() && !next->StartsWith(u"-");
      EXPECT_TRUE(options.Values().count(definition.name)) << line;
      EXPECT_EQ(options.GetOptionValue(definition.name), valued ? *next : WString()) << line;
    }
  }
}

}  // namespace
}  // namespace Vadu
