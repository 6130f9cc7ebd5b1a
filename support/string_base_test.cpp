#include "support/string_base.h"

#include <gtest/gtest.h>

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

TEST(Utf8, OddInputs) {
  EXPECT_EQ(ToUtf8(WString(u"a\0b", 3)), "ab");              // U+0000 dropped
  EXPECT_EQ(ToUtf8(WString(u"x\xD800y", 3)), "xy");          // lone high surrogate
  EXPECT_EQ(ToUtf8(WString(u"x\xDC00", 2)), "x");            // lone low surrogate
  EXPECT_EQ(ToUtf8(WString(u"\xD800", 1)), "");              // high surrogate at the end
  EXPECT_EQ(FromUtf8(String("ab\0cd", 5)), u"ab");           // stops at a zero byte
  EXPECT_EQ(FromUtf8(String("a\xE2\x82")), u"a");            // cut short at the end
  EXPECT_EQ(FromUtf8(String("\xC3(")), WString(u"\u00e8"));  // continuation not validated
  EXPECT_EQ(ToUtf8(WString()), "");
  EXPECT_EQ(FromUtf8(String()), u"");
}

}  // namespace
}  // namespace Vadu
