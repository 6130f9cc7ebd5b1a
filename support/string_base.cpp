#include "support/string_base.h"

#include <cctype>

#include "support/case_table.h"

namespace Vadu {

namespace {

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Walks the UTF-16 units and hands each encoded byte to `sink`.
template <typename Sink>
void EncodeUtf8(const char16_t* units, uint32_t n, Sink&& sink) {
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t c = units[i];
    if (c == 0) continue;
    if (IsHighSurrogate(c)) {
      if (i + 1 >= n || !IsLowSurrogate(units[i + 1])) continue;
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
      sink(0xF0 | (c >> 18));
      sink(0x80 | ((c >> 12) & 0x3F));
      sink(0x80 | ((c >> 6) & 0x3F));
      sink(0x80 | (c & 0x3F));
    } else if (IsLowSurrogate(c)) {
      continue;
    } else if (c < 0x80) {
      sink(c);
    } else if (c < 0x800) {
      sink(0xC0 | (c >> 6));
      sink(0x80 | (c & 0x3F));
    } else {
      sink(0xE0 | (c >> 12));
      sink(0x80 | ((c >> 6) & 0x3F));
      sink(0x80 | (c & 0x3F));
    }
  }
}

// Walks the UTF-8 bytes up to the first zero byte and hands each UTF-16 unit to `sink`.
template <typename Sink>
void DecodeUtf8(const unsigned char* bytes, uint32_t n, Sink&& sink) {
  uint32_t i = 0;
  while (i < n && bytes[i]) {
    unsigned lead = bytes[i];
    if (lead < 0x80) {
      sink(static_cast<char16_t>(lead));
      ++i;
      continue;
    }
    uint32_t extra;
    uint32_t c;
    if (lead < 0xE0) {
      extra = 1, c = lead & 0x1F;
    } else if (lead < 0xF0) {
      extra = 2, c = lead & 0x0F;
    } else if (lead <= 0xF7) {
      extra = 3, c = lead & 0x07;
    } else if (lead <= 0xFB) {
      extra = 4, c = lead & 0x03;
    } else {
      extra = 5, c = lead & 0x01;
    }
    uint32_t k = 1;
    for (; k <= extra && i + k < n && bytes[i + k]; ++k) c = (c << 6) | (bytes[i + k] & 0x3F);
    i += k;
    if (k <= extra) break;  // cut short by the end of the text or a zero byte
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      sink(static_cast<char16_t>(0xD800 + (c >> 10)));
      sink(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      sink(static_cast<char16_t>(c));
    }
  }
}

const CaseRow* FindCaseRow(char16_t c) {
  for (size_t i = 0; i < kCaseTableSize; ++i)
    if (kCaseTable[i].first == c || kCaseTable[i].second == c) return &kCaseTable[i];
  return nullptr;
}

}  // namespace

String ToUtf8(const WString& text) {
  uint32_t count = 0;
  EncodeUtf8(text.CStr(), text.Length(), [&](unsigned) { ++count; });
  String result;
  result.Resize(count);
  char* out = result.MutableData();
  EncodeUtf8(text.CStr(), text.Length(), [&](unsigned b) { *out++ = static_cast<char>(b); });
  return result;
}

WString FromUtf8(const String& text) {
  auto bytes = reinterpret_cast<const unsigned char*>(text.CStr());
  uint32_t count = 0;
  DecodeUtf8(bytes, text.Length(), [&](char16_t) { ++count; });
  WString result;
  result.Resize(count);
  char16_t* out = result.MutableData();
  DecodeUtf8(bytes, text.Length(), [&](char16_t u) { *out++ = u; });
  return result;
}

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
