#include "support/json_writer.h"

#include <cstdio>

namespace Vadu {

namespace {

// The length of the valid UTF-8 sequence at `at` (1 to 4), or 0 when there is none.
uint32_t SequenceLength(const String& text, uint32_t at) {
  const auto byte = [&](uint32_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  uint32_t length;
  uint32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.Length()) return 0;
  for (uint32_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  return length;
}

}  // namespace

String JsonWriter::Quote(const String& text) {
  String out("\"");
  for (uint32_t k = 0; k < text.Length();) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
      ++k;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
      ++k;
    } else {
      const uint32_t length = SequenceLength(text, k);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD
        ++k;
      } else {
        out.Append(text.Data() + k, length);
        k += length;
      }
    }
  }
  out += '"';
  return out;
}

void JsonWriter::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!filled_.empty()) {
    if (filled_.back()) text_ += ',';
    filled_.back() = true;
  }
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  text_ += '{';
  filled_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += '}';
  filled_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  text_ += '[';
  filled_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += ']';
  filled_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(const String& name) {
  Separate();
  text_ += Quote(name);
  text_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::Value(const String& text) {
  Separate();
  text_ += Quote(text);
  return *this;
}

JsonWriter& JsonWriter::Value(uint64_t number) {
  Separate();
  text_ += String::FromNumber(number);
  return *this;
}

JsonWriter& JsonWriter::Value(bool flag) {
  Separate();
  text_ += flag ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  Separate();
  text_ += "null";
  return *this;
}

}  // namespace Vadu
