#include "support/query_encoding.h"

#include <cstring>
#include <new>

namespace Vadu {

namespace {

constexpr char kReserved[] = "$&+,/:;?@=<>#%{}|\\^~[]`\"";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsReserved(unsigned char c) {
  return c != 0 && std::memchr(kReserved, c, sizeof kReserved - 1) != nullptr;
}

// Written as "%" and two digits.
bool NeedsEscape(unsigned char c) { return c < 0x20 || c > 0x7E || IsReserved(c); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

String EncodeQueryComponent(const String& bytes) {
  uint32_t n = bytes.Length();
  uint64_t size = 0;
  for (uint32_t i = 0; i < n; ++i)
    size += NeedsEscape(static_cast<unsigned char>(bytes[i])) ? 3 : 1;
  if (size >= String::npos) throw std::bad_alloc();
  String out(nullptr, static_cast<uint32_t>(size));
  char* p = out.MutableData();
  for (uint32_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == ' ') {
      *p++ = '+';
    } else if (NeedsEscape(c)) {
      *p++ = '%';
      *p++ = kHexDigits[c >> 4];
      *p++ = kHexDigits[c & 0x0F];
    } else {
      *p++ = static_cast<char>(c);
    }
  }
  return out;
}

String DecodeQueryComponent(const String& bytes) {
  uint32_t n = bytes.Length();
  if (n == 0) return String();
  String out(nullptr, n);
  char* p = out.MutableData();
  uint32_t length = 0;
  for (uint32_t i = 0; i < n; ++i) {
    char c = bytes[i];
    if (c == '+') {
      p[length++] = ' ';
    } else if (c == '%' && i + 2 < n && HexValue(bytes[i + 1]) >= 0 &&
               HexValue(bytes[i + 2]) >= 0) {
      p[length++] = static_cast<char>(HexValue(bytes[i + 1]) * 16 + HexValue(bytes[i + 2]));
      i += 2;
    } else {
      p[length++] = c;
    }
  }
  out.Resize(length);
  return out;
}

}  // namespace Vadu
