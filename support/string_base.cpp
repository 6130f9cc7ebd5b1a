#include "support/string_base.h"

#include <cctype>

#include "support/case_table.h"

namespace Vadu {

namespace {

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
// The lone surrogates U+DC80..U+DCFF stand for the bytes 0x80..0xFF that begin no valid sequence
// (bytes below 0x80 are always valid on their own).
constexpr uint32_t kEscapeBase = 0xDC00;
bool IsEscapedByte(uint32_t u) { return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF; }
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Hands the UTF-8 bytes of the code point `c` (not a surrogate, at most U+10FFFF) to `sink`.
template <typename Sink>
void PutUtf8(uint32_t c, Sink& sink) {
  if (c < 0x80) {
    sink(c);
  } else if (c < 0x800) {
    sink(0xC0 | (c >> 6));
    sink(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    sink(0xE0 | (c >> 12));
    sink(0x80 | ((c >> 6) & 0x3F));
    sink(0x80 | (c & 0x3F));
  } else {
    sink(0xF0 | (c >> 18));
    sink(0x80 | ((c >> 12) & 0x3F));
    sink(0x80 | ((c >> 6) & 0x3F));
    sink(0x80 | (c & 0x3F));
  }
}

// Walks the UTF-16 units and hands each encoded byte to `sink`. A unit with no UTF-8 form of its
// own (a lone surrogate, U+0000) makes a `strict` walk stop and return false; otherwise an escaped
// byte gives that byte, another lone surrogate U+FFFD, U+0000 nothing.
template <typename Sink>
bool EncodeUtf8(const char16_t* units, uint32_t n, bool strict, Sink&& sink) {
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t c = units[i];
    if (c - 1 < 0x7F) {  // U+0001..U+007F, the common case
      sink(c);
      continue;
    }
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c == 0 || IsHighSurrogate(c) || IsLowSurrogate(c)) {
      if (strict) return false;
      if (c == 0) continue;
      if (IsEscapedByte(c)) {
        sink(c - kEscapeBase);
        continue;
      }
      c = kReplacementCharacter;
    }
    PutUtf8(c, sink);
  }
  return true;
}

// The length (1 to 4) of the valid UTF-8 sequence that begins `p` (which holds `left` bytes) and
// its code point in `code`; 0 when the first byte begins none. The byte ranges are those of the
// Unicode table of well-formed sequences: overlong forms, encoded surrogates, values above
// U+10FFFF, 5- and 6-byte forms and sequences cut short (also by a zero byte) have none.
uint32_t ValidSequence(const unsigned char* p, uint32_t left, uint32_t* code) {
  const uint32_t lead = p[0];
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  uint32_t length, c;
  uint32_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // below: overlong
    if (lead == 0xED) high = 0x9F;  // above: surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // below: overlong
    if (lead == 0xF4) high = 0x8F;  // above: beyond U+10FFFF
  } else {
    return 0;  // a continuation byte, C0/C1 (always overlong), F5..FF
  }
  if (left < length) return 0;
  for (uint32_t k = 1; k < length; ++k) {
    const uint32_t b = p[k];
    if (b < low || b > high) return 0;
    low = 0x80, high = 0xBF;
    c = (c << 6) | (b & 0x3F);
  }
  *code = c;
  return length;
}

// Walks the UTF-8 bytes up to the first zero byte and hands each UTF-16 unit to `sink`. A byte
// that begins no valid sequence makes a `strict` walk stop and return false; otherwise it gives
// U+DC80 + byte and the walk goes on with the next byte.
template <typename Sink>
bool DecodeUtf8(const unsigned char* bytes, uint32_t n, bool strict, Sink&& sink) {
  for (uint32_t i = 0; i < n && bytes[i];) {
    if (bytes[i] < 0x80) {  // the common case, without the sequence rules
      sink(static_cast<char16_t>(bytes[i++]));
      continue;
    }
    uint32_t c;
    const uint32_t length = ValidSequence(bytes + i, n - i, &c);
    if (length == 0) {
      if (strict) return false;
      sink(static_cast<char16_t>(kEscapeBase + bytes[i++]));
      continue;
    }
    i += length;
    if (c >= 0x10000) {
      c -= 0x10000;
      sink(static_cast<char16_t>(0xD800 + (c >> 10)));
      sink(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      sink(static_cast<char16_t>(c));
    }
  }
  return true;
}

// The bytes of `text`; false (and nothing built) when a strict walk fails.
bool Encode(const WString& text, bool strict, String* bytes) {
  uint32_t count = 0;
  if (!EncodeUtf8(text.CStr(), text.Length(), strict, [&](uint32_t) { ++count; })) return false;
  String result;
  result.Resize(count);
  char* out = result.MutableData();
  EncodeUtf8(text.CStr(), text.Length(), strict,
             [&](uint32_t b) { *out++ = static_cast<char>(b); });
  *bytes = std::move(result);
  return true;
}

// The units of `bytes`; false (and nothing built) when a strict walk fails.
bool Decode(const String& bytes, bool strict, WString* text) {
  auto p = reinterpret_cast<const unsigned char*>(bytes.CStr());
  uint32_t count = 0;
  if (!DecodeUtf8(p, bytes.Length(), strict, [&](char16_t) { ++count; })) return false;
  WString result;
  result.Resize(count);
  char16_t* out = result.MutableData();
  DecodeUtf8(p, bytes.Length(), strict, [&](char16_t u) { *out++ = u; });
  *text = std::move(result);
  return true;
}

const CaseRow* FindCaseRow(char16_t c) {
  for (size_t i = 0; i < kCaseTableSize; ++i)
    if (kCaseTable[i].first == c || kCaseTable[i].second == c) return &kCaseTable[i];
  return nullptr;
}

}  // namespace

String ToUtf8(const WString& text) {
  String bytes;
  Encode(text, false, &bytes);
  return bytes;
}

WString FromUtf8(const String& text) {
  WString units;
  Decode(text, false, &units);
  return units;
}

bool TryFromUtf8(const String& bytes, WString* text) { return Decode(bytes, true, text); }

bool TryToUtf8(const WString& text, String* bytes) { return Encode(text, true, bytes); }

String ToHex(const String& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  String result;
  result.Resize(bytes.Length() * 2);
  char* out = result.MutableData();
  for (uint32_t i = 0; i < bytes.Length(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    *out++ = kDigits[b >> 4];
    *out++ = kDigits[b & 15];
  }
  return result;
}

char16_t ToLowerChar(char16_t c) {
  const CaseRow* row = FindCaseRow(c);
  if (!row) return c;
  return row->kind == 1 ? row->second : row->first;
}

char16_t ToUpperChar(char16_t c) {
  const CaseRow* row = FindCaseRow(c);
  if (!row) return c;
  return row->kind == 1 ? row->first : row->second;
}

namespace {
WString MapChars(const WString& text, char16_t (*map)(char16_t)) {
  WString result(text);
  if (char16_t* p = result.MutableData())
    for (uint32_t i = 0; i < result.Length(); ++i) p[i] = map(p[i]);
  return result;
}
}  // namespace

WString ToLower(const WString& text) { return MapChars(text, ToLowerChar); }
WString ToUpper(const WString& text) { return MapChars(text, ToUpperChar); }

bool CompareNoCase(const WString& a, const WString& b, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    char16_t x = i < a.Length() ? a[i] : 0;
    char16_t y = i < b.Length() ? b[i] : 0;
    if (ToUpperChar(x) != ToUpperChar(y)) return false;
    if (x == 0) return true;
  }
  return true;
}

bool EndsWithNoCase(const String& text, const String& suffix) {
  if (suffix.Length() > text.Length()) return false;
  uint32_t offset = text.Length() - suffix.Length();
  for (uint32_t i = 0; i < suffix.Length(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[offset + i])) !=
        std::toupper(static_cast<unsigned char>(suffix[i])))
      return false;
  }
  return true;
}

bool EndsWithNoCase(const WString& text, const WString& suffix) {
  if (suffix.Length() > text.Length()) return false;
  uint32_t offset = text.Length() - suffix.Length();
  return CompareNoCase(text.Substring(offset), suffix, suffix.Length());
}

}  // namespace Vadu
