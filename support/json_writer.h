// A writer of JSON text (RFC 8259), built value by value.
#pragma once

#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// Builds one JSON text. Values inside an object follow a Key; commas are put in by the writer.
// Strings are UTF-8: quotes, backslashes and control characters are escaped; bytes that are not
// valid UTF-8 are replaced by U+FFFD, so that the text is always valid JSON.
class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const String& name);
  JsonWriter& Value(const String& text);
  JsonWriter& Value(const char* text) { return Value(String(text)); }
  JsonWriter& Value(uint64_t number);
  JsonWriter& Value(bool flag);
  JsonWriter& Null();

  // The text written so far.
  const String& Text() const { return text_; }

  // `text` as a JSON string, quotes included.
  static String Quote(const String& text);

 private:
  // Puts the comma before a value that follows another in the same array or object.
  void Separate();

  String text_;
  // For each open array or object: whether it holds a value yet.
  std::vector<bool> filled_;
  bool afterKey_ = false;
};

}  // namespace Vadu
