#include "support/query_encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace Vadu {
namespace {

std::string Str(const String& s) { return std::string(s.ToView()); }

TEST(QueryEncoding, EncodesSpacesReservedAndNonPrintableBytes) {
  EXPECT_EQ(Str(EncodeQueryComponent(" ")), "+");
  EXPECT_EQ(Str(EncodeQueryComponent("+")), "%2B");
  EXPECT_EQ(Str(EncodeQueryComponent("~")), "%7E");
  EXPECT_EQ(Str(EncodeQueryComponent("\xE9")), "%E9");
  EXPECT_EQ(Str(EncodeQueryComponent(String("\0", 1))), "%00");
  EXPECT_EQ(Str(EncodeQueryComponent("\x1F\x7F\xFF")), "%1F%7F%FF");
  EXPECT_EQ(Str(EncodeQueryComponent("AZaz09-._!*()'")), "AZaz09-._!*()'");
  EXPECT_EQ(Str(EncodeQueryComponent("a b&c=d")), "a+b%26c%3Dd");
  EXPECT_TRUE(EncodeQueryComponent("").IsEmpty());
}

TEST(QueryEncoding, EveryReservedCharacterAndOnlyThoseAmongPrintablesIsEscaped) {
  const std::string reserved = "$&+,/:;?@=<>#%{}|\\^~[]`\"";
  ASSERT_EQ(reserved.size(), 24u);
  for (int c = 0x21; c <= 0x7E; ++c) {
    std::string encoded = Str(EncodeQueryComponent(String(static_cast<char>(c))));
    if (reserved.find(static_cast<char>(c)) != std::string::npos) {
      const char* digits = "0123456789ABCDEF";
      std::string expected = {'%', digits[c >> 4], digits[c & 15]};
      EXPECT_EQ(encoded, expected) << c;
    } else {
      EXPECT_EQ(encoded, std::string(1, static_cast<char>(c))) << c;
    }
  }
}

TEST(QueryEncoding, DecodesPlusAndBothDigitCases) {
  EXPECT_EQ(Str(DecodeQueryComponent("a+b")), "a b");
  EXPECT_EQ(Str(DecodeQueryComponent("%2b%2B%e9%C3%A9")), "++\xE9\xC3\xA9");
  EXPECT_EQ(DecodeQueryComponent("%00x"), String("\0x", 2));
  EXPECT_TRUE(DecodeQueryComponent("").IsEmpty());
}

TEST(QueryEncoding, PercentWithoutTwoHexDigitsIsCopied) {
  EXPECT_EQ(Str(DecodeQueryComponent("%")), "%");
  EXPECT_EQ(Str(DecodeQueryComponent("ab%4")), "ab%4");
  EXPECT_EQ(Str(DecodeQueryComponent("%zz%4g%g4")), "%zz%4g%g4");
  EXPECT_EQ(Str(DecodeQueryComponent("%%41")), "%A");
  EXPECT_EQ(Str(DecodeQueryComponent("100%")), "100%");
}

TEST(QueryEncoding, EveryByteValueSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    String one(static_cast<char>(b));
    String encoded = EncodeQueryComponent(one);
    EXPECT_LE(encoded.Length(), 3u);
    EXPECT_EQ(DecodeQueryComponent(encoded), one) << b;
    all += static_cast<char>(b);
  }
  all += all;  // every pair of neighbours once more, in another position
  String bytes{std::string_view(all)};
  String encoded = EncodeQueryComponent(bytes);
  EXPECT_LE(encoded.Length(), 3 * bytes.Length());
  // The encoded text holds only characters that pass through unchanged or "%".
  for (uint32_t i = 0; i < encoded.Length(); ++i) {
    unsigned char c = static_cast<unsigned char>(encoded[i]);
    EXPECT_TRUE(c > 0x20 && c < 0x7F) << i;
    EXPECT_TRUE(c == '%' || c == '+' || !std::strchr("$&,/:;?@=<>#{}|\\^~[]`\"", c)) << i;
  }
  EXPECT_EQ(DecodeQueryComponent(encoded), bytes);
}

}  // namespace
}  // namespace Vadu
