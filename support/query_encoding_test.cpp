#include "support/query_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;

TEST(QueryEncoding, EncodesSpacesReservedAndNonPrintableBytes) {
  EXPECT_EQ(Std(EncodeQueryComponent(" +~\xE9")), "+%2B%7E%E9");
  EXPECT_EQ(Std(EncodeQueryComponent(String("\0\x1F\x7F", 3))), "%00%1F%7F");
  EXPECT_TRUE(EncodeQueryComponent("").IsEmpty());
  // Among the printable characters exactly the 24 reserved ones are escaped.
  const std::string reserved = "$&+,/:;?@=<>#%{}|\\^~[]`\"";
  for (char c = 0x21; c <= 0x7E; ++c) {
    std::string encoded = Std(EncodeQueryComponent(String(c)));
    bool escaped = reserved.find(c) != std::string::npos;
    EXPECT_EQ(encoded.size(), escaped ? 3u : 1u) << c;
  }
}

TEST(QueryEncoding, DecodesPlusAndBothDigitCasesAndCopiesBadEscapes) {
  const std::pair<const char*, const char*> cases[] = {
      {"a+b", "a b"},
      {"%2b%2B%e9", "++\xE9"},
      {"%", "%"},
      {"ab%4", "ab%4"},
      {"%zz%4g%g4", "%zz%4g%g4"},
      {"%%41", "%A"},
      {"100%", "100%"},
      {"", ""},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Std(DecodeQueryComponent(text)), expected) << text;
  EXPECT_EQ(DecodeQueryComponent("%00x"), String("\0x", 2));
}

TEST(QueryEncoding, EveryByteValueSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  all += all;
  String bytes{std::string_view(all)};
  String encoded = EncodeQueryComponent(bytes);
  EXPECT_LE(encoded.Length(), 3 * bytes.Length());
  for (uint32_t i = 0; i < encoded.Length(); ++i)
    EXPECT_TRUE(encoded[i] > 0x20 && encoded[i] < 0x7F) << i;
  EXPECT_EQ(DecodeQueryComponent(encoded), bytes);
}

}  // namespace
}  // namespace Vadu
