#include "support/string_base.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <random>
#include <thread>

namespace Vadu {
namespace {

TEST(StringStorage, ShortTextIsInlineAndLongTextMovesToAHeapBlock) {
  String s("1234567");
  EXPECT_TRUE(s.IsInline());
  EXPECT_EQ(s.UseCount(), 0);
  s.Append('8');
  EXPECT_FALSE(s.IsInline());
  EXPECT_EQ(s.UseCount(), 1);
  EXPECT_EQ(s, "12345678");
  EXPECT_EQ(s.CStr()[8], '\0');
  String empty;
  EXPECT_EQ(empty.Data(), nullptr);
  EXPECT_STREQ(empty.CStr(), "");
}

TEST(StringStorage, CopiesShareHeapBlocksUntilOneChanges) {
  String inlined("abc");
  String inlineCopy(inlined);
  inlineCopy.Append("d");
  EXPECT_EQ(inlined, "abc");
  EXPECT_EQ(inlineCopy, "abcd");

  String a("a long enough text");
  String b(a);
  EXPECT_EQ(a.CStr(), b.CStr());
  EXPECT_EQ(a.UseCount(), 2);
  b.Append("!");
  EXPECT_NE(a.CStr(), b.CStr());
  EXPECT_EQ(a.UseCount(), 1);
  EXPECT_EQ(b.UseCount(), 1);
  EXPECT_EQ(a, "a long enough text");
  EXPECT_EQ(b, "a long enough text!");

  String c(a);
  c = String("x");  // assignment releases the shared block
  EXPECT_EQ(a.UseCount(), 1);
  String moved(std::move(a));
  EXPECT_EQ(moved.UseCount(), 1);
  EXPECT_TRUE(a.IsEmpty());
}

TEST(StringStorage, AppendGrowsUnsharedBlockAndHandlesSelfReference) {
  String s("0123456789");
  s.Append(s);
  EXPECT_EQ(s, "01234567890123456789");
  s.Append(s.CStr() + 5, 3);
  EXPECT_EQ(s, "01234567890123456789567");
  WString w(u"wide");
  w += u" text";
  EXPECT_EQ(w, u"wide text");
}

TEST(StringStorage, ResizeShortensInPlaceUnlessShared) {
  String s("0123456789abcdefghij");
  s.Resize(12);
  EXPECT_EQ(s, "0123456789ab");
  EXPECT_EQ(s.CStr()[12], '\0');
  EXPECT_EQ(s.UseCount(), 1);
  s.Resize(15);  // grows again with zeros
  EXPECT_EQ(s, String("0123456789ab\0\0\0", 15));

  // A shared block is left to its other owner.
  String other(s);
  other.Resize(10);
  EXPECT_EQ(other, "0123456789");
  EXPECT_EQ(s.Length(), 15u);
  EXPECT_EQ(s.UseCount(), 1);

  // Down to inline size: the text moves into the object.
  s.Resize(5);
  EXPECT_TRUE(s.IsInline());
  EXPECT_EQ(s, "01234");
}

TEST(StringStorage, BinaryDataKeepsEmbeddedZeros) {
  const char bytes[] = {'a', 0, 'b', 0, 0, 'c', 'd', 'e', 'f'};
  String s(bytes, sizeof bytes);
  EXPECT_EQ(s.Length(), 9u);
  EXPECT_EQ(s.Substring(2, 3), String("b\0\0", 3));
  EXPECT_NE(String("a\0b", 3), String("a\0c", 3));
}

TEST(StringStorage, ConcurrentCopiesKeepTheCountExact) {
  String shared("shared between threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&shared] {
      for (int i = 0; i < 10000; ++i) {
        String copy(shared);
        String again = copy;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared.UseCount(), 1);
}

TEST(StringText, SubstringClipsAndSearchesFollowTheirBounds) {
  String s("hello world, hello");
  EXPECT_EQ(s.Substring(18), "");
  EXPECT_EQ(s.Substring(13, 100), "hello");
  EXPECT_EQ(s.Find("hello"), 0u);
  EXPECT_EQ(s.Find("hello", 1), 13u);
  EXPECT_EQ(s.Find("hello", 1, 17), String::npos);  // must end within the first 17
  EXPECT_EQ(s.ReverseFind("hello"), 13u);
  EXPECT_EQ(s.ReverseFind("hello", 0, 17), 0u);
  EXPECT_EQ(s.ReverseFind("hello", 1, 17), String::npos);
  EXPECT_EQ(s.Find(""), String::npos);
  EXPECT_EQ(String().Find("a"), String::npos);
  EXPECT_EQ(s.ReverseFind(""), String::npos);
  EXPECT_EQ(String("ab").Find("abc"), String::npos);
}

TEST(StringText, ReplaceSplitJoinPadTrim) {
  EXPECT_EQ(String("a-b--c").ReplaceAll("-", "+="), "a+=b+=+=c");
  EXPECT_EQ(String("aaa").ReplaceAll("aa", "b"), "ba");
  auto pieces = String("a,,b,").Split(",");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[1], "");
  EXPECT_EQ(String::Join(pieces, ";"), "a;;b;");
  EXPECT_EQ(String("7").PadLeft(3, '0'), "007");
  EXPECT_EQ(String("1234").PadLeft(3, '0'), "1234");
  EXPECT_EQ(WString(u"\t x y \r\n").Trim(), u"x y");
  EXPECT_TRUE(String("name.xml").EndsWith(".xml"));
  EXPECT_FALSE(String("xml").EndsWith(".xml"));
  EXPECT_TRUE(String("-psn_0_1").StartsWith("-psn_"));
}

TEST(StringText, NumbersBothWays) {
  EXPECT_EQ(String::FromNumber(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(String::FromNumber(4294967295u), "4294967295");
  EXPECT_EQ(String::FromNumber(int64_t{-9223372036854775807LL - 1}), "-9223372036854775808");
  EXPECT_EQ(WString::FromNumber(uint64_t{18446744073709551615ULL}), u"18446744073709551615");
  EXPECT_EQ(String(" -42x").ToInt32(), -42);
  EXPECT_EQ(String("63858000000000").ToUInt64(), 63858000000000ull);
  EXPECT_EQ(String("abc").ToInt32(), 0);
}

TEST(StringText, HexAndCase) {
  EXPECT_EQ(ToHex(String("Nov\x01\xff", 5)), "4E6F7601FF");
  EXPECT_EQ(ToUpper(WString(u"abc\u00e9\u0444z")), u"ABC\u00c9\u0424Z");
  EXPECT_EQ(ToLower(WString(u"ABC\u00c9\u0424\uff21")), u"abc\u00e9\u0444\uff41");
  EXPECT_EQ(ToLower(WString(u"1-_")), u"1-_");
  // Odd mappings do not disturb the plain pair of a letter.
  EXPECT_EQ(ToUpperChar(u'i'), u'I');
  EXPECT_EQ(ToLowerChar(u'S'), u's');
  EXPECT_TRUE(CompareNoCase(u"C:\\Dir\\A", u"c:\\dir\\a", 8));
  EXPECT_TRUE(CompareNoCase(u"abcX", u"ABCy", 3));
  EXPECT_FALSE(CompareNoCase(u"ab", u"abc", 3));
  EXPECT_TRUE(EndsWithNoCase(String("logo.ICO"), String(".ico")));
  EXPECT_TRUE(EndsWithNoCase(WString(u"logo.ICO"), WString(u".ico")));
  EXPECT_FALSE(EndsWithNoCase(WString(u"ico"), WString(u".ico")));
}

TEST(Utf8, ConvertsBothWays) {
  EXPECT_EQ(FromUtf8(String("\xC3\xA9")), u"\u00e9");
  EXPECT_EQ(ToUtf8(u"\u00e9"), "\xC3\xA9");
  EXPECT_EQ(ToUtf8(u"a\u20acb"),
            "a\xE2\x82\xAC"
            "b");
  WString mixed(u"Zentu \u00fc\u4e2d\U0001F600 end");
  EXPECT_EQ(FromUtf8(ToUtf8(mixed)), mixed);
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

// Text from a list of UTF-16 units, zero units included.
WString Units(std::initializer_list<char16_t> units) {
  return WString(units.begin(), static_cast<uint32_t>(units.size()));
}

String Bytes(std::initializer_list<unsigned char> bytes) {
  String result;
  for (unsigned char b : bytes) result.Append(static_cast<char>(b));
  return result;
}

// True when every unit of `text` is one of the lone surrogates that stand for a byte.
bool AllEscaped(const WString& text) {
  for (uint32_t i = 0; i < text.Length(); ++i)
    if (text[i] < 0xDC80 || text[i] > 0xDCFF) return false;
  return true;
}

TEST(Utf8, ZeroUnitsAndZeroBytesEndNothingButThemselves) {
  EXPECT_EQ(ToUtf8(WString(u"a\0b", 3)), "ab");                          // U+0000 dropped
  EXPECT_EQ(FromUtf8(String("ab\0cd", 5)), u"ab");                       // stops at a zero byte
  EXPECT_EQ(FromUtf8(String("a\xE2\0\x82", 4)), Units({u'a', 0xDCE2}));  // cut by the zero
  EXPECT_EQ(ToUtf8(WString()), "");
  EXPECT_EQ(FromUtf8(String()), u"");
  WString text;
  EXPECT_TRUE(TryFromUtf8(String("ok\0\xFF", 4), &text));
  EXPECT_EQ(text, u"ok");
  String bytes("kept");
  EXPECT_FALSE(TryToUtf8(WString(u"a\0b", 3), &bytes));
  EXPECT_EQ(bytes, "kept");
  EXPECT_TRUE(TryToUtf8(WString(), &bytes));
  EXPECT_EQ(bytes, "");
}

TEST(Utf8, InvalidSequencesNeverDecodeToACharacter) {
  const struct {
    const char* what;
    String bytes;
  } cases[] = {
      {"overlong '.'", Bytes({0xC0, 0xAE})},
      {"overlong NUL", Bytes({0xC0, 0x80})},
      {"overlong U+007F", Bytes({0xC1, 0xBF})},
      {"overlong '.' in three bytes", Bytes({0xE0, 0x80, 0xAE})},
      {"overlong U+07FF", Bytes({0xE0, 0x9F, 0xBF})},
      {"overlong '/' in four bytes", Bytes({0xF0, 0x80, 0x80, 0xAF})},
      {"overlong U+FFFF", Bytes({0xF0, 0x8F, 0xBF, 0xBF})},
      {"encoded U+D800", Bytes({0xED, 0xA0, 0x80})},
      {"encoded U+DFFF", Bytes({0xED, 0xBF, 0xBF})},
      {"encoded pair (CESU-8)", Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80})},
      {"U+110000", Bytes({0xF4, 0x90, 0x80, 0x80})},
      {"U+13FFFF", Bytes({0xF4, 0xBF, 0xBF, 0xBF})},
      {"lead F5", Bytes({0xF5, 0x80, 0x80, 0x80})},
      {"lead F7", Bytes({0xF7, 0xBF, 0xBF, 0xBF})},
      {"five bytes", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80})},
      {"six bytes", Bytes({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80})},
      {"FE and FF", Bytes({0xFE, 0xFF})},
      {"two-byte lead alone", Bytes({0xC3})},
      {"three bytes cut short", Bytes({0xE2, 0x82})},
      {"four bytes cut short", Bytes({0xF0, 0x9F, 0x98})},
      {"stray continuation bytes", Bytes({0x80, 0xBF, 0xAE})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const WString decoded = FromUtf8(c.bytes);
    // One escape per byte: nothing of the sequence became a character.
    ASSERT_EQ(decoded.Length(), c.bytes.Length());
    EXPECT_TRUE(AllEscaped(decoded));
    for (uint32_t i = 0; i < decoded.Length(); ++i)
      EXPECT_EQ(decoded[i], 0xDC00 + static_cast<unsigned char>(c.bytes[i]));
    EXPECT_EQ(ToUtf8(decoded), c.bytes);
    WString text(u"untouched");
    EXPECT_FALSE(TryFromUtf8(c.bytes, &text));
    EXPECT_EQ(text, u"untouched");
    String bytes("untouched");
    EXPECT_FALSE(TryToUtf8(decoded, &bytes));
    EXPECT_EQ(bytes, "untouched");
  }
  // The traversal name stays far from "../".
  EXPECT_EQ(FromUtf8(String("\xC0\xAE\xC0\xAE/x")),
            Units({0xDCC0, 0xDCAE, 0xDCC0, 0xDCAE, u'/', u'x'}));
  // A valid character right after a broken sequence is kept.
  EXPECT_EQ(FromUtf8(String("\xE2\x82(\xC3\xA9")), Units({0xDCE2, 0xDC82, u'(', 0xE9}));
  EXPECT_EQ(FromUtf8(String("\xC3(")), Units({0xDCC3, u'('}));
  EXPECT_EQ(FromUtf8(String("\xF0\x9F\x98\xF0\x9F\x98\x80")),
            Units({0xDCF0, 0xDC9F, 0xDC98, 0xD83D, 0xDE00}));
}

TEST(Utf8, DecodesEachBoundaryOfTheValidRanges) {
  const struct {
    String bytes;
    WString units;
  } cases[] = {
      {Bytes({0x7F}), Units({0x7F})},
      {Bytes({0xC2, 0x80}), Units({0x80})},
      {Bytes({0xDF, 0xBF}), Units({0x7FF})},
      {Bytes({0xE0, 0xA0, 0x80}), Units({0x800})},
      {Bytes({0xED, 0x9F, 0xBF}), Units({0xD7FF})},
      {Bytes({0xEE, 0x80, 0x80}), Units({0xE000})},
      {Bytes({0xEF, 0xBF, 0xBD}), Units({0xFFFD})},
      {Bytes({0xEF, 0xBF, 0xBF}), Units({0xFFFF})},
      {Bytes({0xF0, 0x90, 0x80, 0x80}), Units({0xD800, 0xDC00})},
      {Bytes({0xF0, 0x90, 0x82, 0x80}), Units({0xD800, 0xDC80})},
      {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), Units({0xDBFF, 0xDFFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.bytes).CStr());
    EXPECT_EQ(FromUtf8(c.bytes), c.units);
    WString text;
    EXPECT_TRUE(TryFromUtf8(c.bytes, &text));
    EXPECT_EQ(text, c.units);
    EXPECT_EQ(ToUtf8(c.units), c.bytes);
    String bytes;
    EXPECT_TRUE(TryToUtf8(c.units, &bytes));
    EXPECT_EQ(bytes, c.bytes);
  }
  // Just past each end: the first byte begins no sequence.
  EXPECT_EQ(FromUtf8(Bytes({0xC1, 0xBF}))[0], 0xDCC1);              // U+007F, overlong
  EXPECT_EQ(FromUtf8(Bytes({0xE0, 0x9F, 0xBF}))[0], 0xDCE0);        // U+07FF, overlong
  EXPECT_EQ(FromUtf8(Bytes({0xED, 0xA0, 0x80}))[0], 0xDCED);        // U+D800
  EXPECT_EQ(FromUtf8(Bytes({0xED, 0xBF, 0xBF}))[0], 0xDCED);        // U+DFFF
  EXPECT_EQ(FromUtf8(Bytes({0xF0, 0x8F, 0xBF, 0xBF}))[0], 0xDCF0);  // U+FFFF, overlong
  EXPECT_EQ(FromUtf8(Bytes({0xF4, 0x90, 0x80, 0x80}))[0], 0xDCF4);  // U+110000
}

TEST(Utf8, LoneSurrogatesGiveTheirByteOrTheReplacementCharacter) {
  EXPECT_EQ(ToUtf8(Units({u'c', u'a', u'f', 0xDCE9})), "caf\xE9");
  EXPECT_EQ(ToUtf8(Units({0xDC80, 0xDCFF})), "\x80\xFF");
  // Other lone surrogates (from a Windows name) are not bytes of ours: U+FFFD.
  EXPECT_EQ(ToUtf8(Units({u'x', 0xD800, u'y'})), "x\xEF\xBF\xBDy");
  EXPECT_EQ(ToUtf8(Units({u'x', 0xDC00})), "x\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(Units({0xDC7F, 0xDD00, 0xDFFF})), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(Units({0xDBFF})), "\xEF\xBF\xBD");  // high surrogate at the end
  EXPECT_EQ(ToUtf8(Units({0xD800, 0xD800, 0xDC00})), "\xEF\xBF\xBD\xF0\x90\x80\x80");
  for (const WString& text : {Units({u'a', 0xDCE9}), Units({0xD800}), Units({0xDC00, u'a'}),
                              Units({0xDBFF, u'x', 0xDC00})}) {
    String bytes("untouched");
    EXPECT_FALSE(TryToUtf8(text, &bytes));
    EXPECT_EQ(bytes, "untouched");
  }
}

TEST(Utf8, EveryByteStringSurvivesTheWideLayer) {
  for (int b = 1; b < 256; ++b) {
    const String byte(static_cast<char>(b));
    const WString decoded = FromUtf8(byte);
    ASSERT_EQ(decoded.Length(), 1u) << b;
    EXPECT_EQ(decoded[0], b < 0x80 ? b : 0xDC00 + b);
    EXPECT_EQ(ToUtf8(decoded), byte) << b;
  }
  // Random strings, half of them made of pieces of valid sequences so that valid and broken
  // sequences meet.
  std::mt19937 random(11);
  const String pieces[] = {"a",
                           "/",
                           ".",
                           "\xC3\xA9",
                           "\xE2\x82\xAC",
                           "\xF0\x9F\x98\x80",
                           "\xC0\xAE",
                           "\xED\xA0\x80",
                           "\xF4\x90\x80\x80",
                           "\xE2\x82",
                           "\x80"};
  for (int round = 0; round < 20000; ++round) {
    String bytes;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      if (round % 2)
        bytes.Append(pieces[random() % std::size(pieces)]);
      else
        bytes.Append(static_cast<char>(1 + random() % 255));
    }
    const WString decoded = FromUtf8(bytes);
    ASSERT_EQ(ToUtf8(decoded), bytes) << ToHex(bytes).CStr();
    WString text;
    String back;
    const bool valid = TryFromUtf8(bytes, &text);
    ASSERT_EQ(TryToUtf8(decoded, &back), valid) << ToHex(bytes).CStr();
    if (valid) {
      EXPECT_EQ(text, decoded);
      EXPECT_EQ(back, bytes);
    }
  }
}

}  // namespace
}  // namespace Vadu
