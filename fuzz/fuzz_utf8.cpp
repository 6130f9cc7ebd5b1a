// The UTF-8 conversions against a reference written here from the definition of UTF-8 (decode by
// the count of leading one bits, then refuse what is overlong, a surrogate or past U+10FFFF),
// on the input as bytes and as UTF-16 units:
// - FromUtf8 gives the reference's units, a byte of no valid sequence as U+DC80 + byte;
// - TryFromUtf8 succeeds exactly on valid input, with the same units;
// - ToUtf8(FromUtf8(b)) == b up to the first zero byte, and TryToUtf8 of it succeeds exactly
//   when b is valid;
// - ToUtf8 gives the reference's bytes for any units, TryToUtf8 succeeds exactly when there is
//   no lone surrogate and no zero unit, and then FromUtf8 and TryFromUtf8 give the units back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "support/string_base.h"

using Vadu::String;
using Vadu::WString;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void AppendUnits(std::vector<char16_t>& units, uint32_t c) {
  if (c < 0x10000) {
    units.push_back(static_cast<char16_t>(c));
  } else {
    units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
    units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  }
}

// The code point of the sequence at bytes[i] and its length, or 0 when it is not valid.
size_t ReferenceSequence(const uint8_t* bytes, size_t n, size_t i, uint32_t* code) {
  const uint8_t lead = bytes[i];
  size_t ones = 0;
  while (ones < 8 && (lead & (0x80 >> ones))) ++ones;
  if (ones == 0) {
    *code = lead;
    return 1;
  }
  if (ones == 1 || ones > 4) return 0;
  if (i + ones > n) return 0;
  uint32_t c = lead & (0xFF >> (ones + 1));
  for (size_t k = 1; k < ones; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (bytes[i + k] & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[ones] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return ones;
}

// The units of `bytes` (already cut at the first zero byte); false when anything was escaped.
bool ReferenceDecode(const uint8_t* bytes, size_t n, std::vector<char16_t>& units) {
  bool valid = true;
  for (size_t i = 0; i < n;) {
    uint32_t c;
    size_t length = ReferenceSequence(bytes, n, i, &c);
    if (length == 0) {
      valid = false;
      units.push_back(static_cast<char16_t>(0xDC00 + bytes[i]));
      ++i;
      continue;
    }
    AppendUnits(units, c);
    i += length;
  }
  return valid;
}

void AppendUtf8(std::vector<uint8_t>& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<uint8_t>(c));
    return;
  }
  const size_t length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  static const uint8_t kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (size_t k = length; k-- > 0;) {
    const uint32_t bits = (c >> (6 * k)) & 0x3F;
    out.push_back(
        static_cast<uint8_t>(k + 1 == length ? kLeads[length] | (c >> (6 * k)) : 0x80 | bits));
  }
}

// The bytes of `units`; false when one of them is a lone surrogate or zero.
bool ReferenceEncode(const std::vector<char16_t>& units, std::vector<uint8_t>& out) {
  bool clean = true;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t u = units[i];
    const bool high = u >= 0xD800 && u <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else if (u == 0) {
      clean = false;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      clean = false;
      if (u >= 0xDC80 && u <= 0xDCFF)
        out.push_back(static_cast<uint8_t>(u - 0xDC00));
      else
        AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return clean;
}

bool Same(const WString& text, const std::vector<char16_t>& units) {
  return text.ToView() == std::u16string_view(units.data(), units.size());
}

bool Same(const String& text, const std::vector<uint8_t>& bytes) {
  return text.Length() == bytes.size() &&
         (bytes.empty() || std::memcmp(text.CStr(), bytes.data(), bytes.size()) == 0);
}

void CheckBytes(const uint8_t* data, size_t size) {
  const String input(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  size_t n = 0;
  while (n < size && data[n]) ++n;
  std::vector<char16_t> expected;
  const bool valid = ReferenceDecode(data, n, expected);

  const WString decoded = Vadu::FromUtf8(input);
  Check(Same(decoded, expected));
  WString strict(u"unset");
  Check(Vadu::TryFromUtf8(input, &strict) == valid);
  Check(valid ? strict == decoded : strict == u"unset");

  Check(Same(Vadu::ToUtf8(decoded), std::vector<uint8_t>(data, data + n)));
  String back("unset");
  Check(Vadu::TryToUtf8(decoded, &back) == valid);
  Check(valid ? Same(back, std::vector<uint8_t>(data, data + n)) : back == "unset");
}

void CheckUnits(const uint8_t* data, size_t size) {
  std::vector<char16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  const WString text(units.data(), static_cast<uint32_t>(units.size()));
  std::vector<uint8_t> expected;
  const bool clean = ReferenceEncode(units, expected);

  const String bytes = Vadu::ToUtf8(text);
  Check(Same(bytes, expected));
  // Whatever ToUtf8 gives survives another round.
  Check(Vadu::ToUtf8(Vadu::FromUtf8(bytes)) == bytes);
  String strict("unset");
  Check(Vadu::TryToUtf8(text, &strict) == clean);
  if (!clean) {
    Check(strict == "unset");
    return;
  }
  Check(strict == bytes);
  Check(Vadu::FromUtf8(bytes) == text);
  WString again;
  Check(Vadu::TryFromUtf8(bytes, &again) && again == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= String::npos / 4) return 0;
  CheckBytes(data, size);
  CheckUnits(data, size);
  return 0;
}
