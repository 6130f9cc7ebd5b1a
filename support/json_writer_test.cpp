#include "support/json_writer.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;

TEST(JsonWriter, NestsValuesWithCommasAndEscapesEveryStringIntoValidJson) {
  JsonWriter json;
  json.BeginObject()
      .Key("name")
      .Value(String("a \"q\" \\ \x01\x1F\x7F tab\t"))
      .Key("sizes")
      .BeginArray()
      .Value(uint64_t{0})
      .Value(uint64_t{18446744073709551615ull})
      .BeginObject()
      .EndObject()
      .BeginArray()
      .EndArray()
      .EndArray()
      .Key("ok")
      .Value(true)
      .Key("none")
      .Null()
      .EndObject();
  EXPECT_EQ(Std(json.Text()),
            "{\"name\":\"a \\\"q\\\" \\\\ \\u0001\\u001F\\u007F tab\\u0009\","
            "\"sizes\":[0,18446744073709551615,{},[]],\"ok\":true,\"none\":null}");
}

TEST(JsonWriter, KeepsUtf8AndReplacesBytesThatAreNotUtf8) {
  // é, €, 😀 stay; a lone continuation byte, a cut sequence, an overlong "/", a surrogate and
  // a lead byte past U+10FFFF each become U+FFFD.
  const String text(
      "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80|\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80|\xF5");
  EXPECT_EQ(Std(JsonWriter::Quote(text)),
            "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80|\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|"
            "\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace Vadu
