// Copy-on-write strings: narrow strings hold bytes (UTF-8 text or binary data), wide strings hold
// UTF-16 units. Copies share a heap block through an atomic count; strings of up to seven
// characters live inside the object and are never shared.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Vadu {

template <typename C, int N = 8>
class StringBase {
  static_assert(N >= 2, "the inline buffer holds at least one character and its terminator");

 public:
  using Char = C;
  using View = std::basic_string_view<C>;
  // Returned by the searches when nothing is found.
  static constexpr uint32_t npos = 0xFFFFFFFFu;
  // Longest text kept inline.
  static constexpr uint32_t kInlineCapacity = N - 1;

  StringBase() noexcept = default;
  StringBase(const C* text) { Assign(text, text ? Measure(text) : 0); }
  StringBase(const C* text, uint32_t count) { Assign(text, count); }
  StringBase(View text) { Assign(text.data(), CheckedLength(text.size())); }
  explicit StringBase(C c) { Assign(&c, 1); }
  StringBase(const StringBase& other) { CopyFrom(other); }
  StringBase(StringBase&& other) noexcept { MoveFrom(other); }
  virtual ~StringBase() { Release(); }

  StringBase& operator=(const StringBase& other) {
    if (this != &other) {
      Release();
      CopyFrom(other);
    }
    return *this;
  }
  StringBase& operator=(StringBase&& other) noexcept {
    if (this != &other) {
      Release();
      MoveFrom(other);
    }
    return *this;
  }

  // Decimal text of an integer ("%d", "%u", "%lld", "%llu").
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
  static StringBase FromNumber(T value) {
    char buffer[32];
    char* end = buffer + sizeof buffer;
    char* p = end;
    bool negative = false;
    unsigned long long magnitude;
    if constexpr (std::is_signed_v<T>) {
      negative = value < 0;
      magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                           : static_cast<unsigned long long>(value);
    } else {
      magnitude = value;
    }
    do {
      *--p = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--p = '-';
    StringBase result;
    C* out = result.Allocate(static_cast<uint32_t>(end - p));
    for (uint32_t i = 0; p != end; ++i, ++p) out[i] = static_cast<C>(*p);
    return result;
  }

  // Text to number in the manner of "%d" and "%llu": leading white space, an optional sign, then
  // digits; the first non-digit ends the number. No digits at all gives 0.
  int32_t ToInt32() const { return static_cast<int32_t>(ParseSigned()); }
  uint64_t ToUInt64() const { return static_cast<uint64_t>(ParseSigned()); }

  // Never null: the empty string gives a pointer to a zero character.
  const C* CStr() const noexcept { return data_ && length_ ? data_ : EmptyText(); }
  // Null for the empty string.
  const C* Data() const noexcept { return length_ ? data_ : nullptr; }
  uint32_t Length() const noexcept { return data_ ? length_ : 0; }
  bool IsEmpty() const noexcept { return Length() == 0; }
  View ToView() const noexcept { return View(CStr(), Length()); }
  C operator[](uint32_t index) const noexcept { return data_[index]; }

  // Writable characters of an unshared buffer (the string is detached first).
  C* MutableData() {
    if (IsEmpty()) return nullptr;
    if (IsShared()) {
      StringBase copy(data_, length_);
      *this = std::move(copy);
    }
    return data_;
  }

  // Sets the length, keeping the first characters; new characters are zero. An unshared heap
  // buffer is shortened or grown in place (through realloc), so a large string is not copied.
  void Resize(uint32_t count) {
    uint32_t old = Length();
    if (count == old) return;
    if (count < old) {
      if (count > kInlineCapacity && !IsInline() && UseCount() == 1) {
        // A failed shrink keeps the larger block, which is still valid.
        if (void* block = std::realloc(Counter(), BlockSize(count)))
          data_ = reinterpret_cast<C*>(static_cast<char*>(block) + sizeof(Count));
        length_ = count;
        data_[count] = 0;
        return;
      }
      StringBase kept(data_, count);
      *this = std::move(kept);
      return;
    }
    Append(nullptr, count - old);
  }

  // Appending.
  StringBase& Append(const StringBase& other) {
    if (&other == this) {
      StringBase copy(other);
      return Append(copy.data_, copy.Length());
    }
    if (IsEmpty()) return *this = other;
    return Append(other.data_, other.Length());
  }
  StringBase& Append(const C* text) { return Append(text, text ? Measure(text) : 0); }
  // A null text appends `count` zero characters.
  StringBase& Append(const C* text, uint32_t count);
  StringBase& Append(C c) { return Append(&c, 1); }
  StringBase& operator+=(const StringBase& other) { return Append(other); }
  StringBase& operator+=(const C* text) { return Append(text); }
  StringBase& operator+=(C c) { return Append(c); }

  friend StringBase operator+(const StringBase& a, const StringBase& b) {
    StringBase result(a);
    result.Append(b);
    return result;
  }
  friend StringBase operator+(const StringBase& a, const C* b) { return a + StringBase(b); }
  friend StringBase operator+(const C* a, const StringBase& b) { return StringBase(a) + b; }

  friend bool operator==(const StringBase& a, const StringBase& b) noexcept {
    uint32_t n = a.Length();
    return n == b.Length() && (n == 0 || a.data_ == b.data_ || Equal(a.data_, b.data_, n));
  }
  friend bool operator==(const StringBase& a, const C* b) noexcept { return a == View(b); }
  friend bool operator==(const StringBase& a, View b) noexcept { return a.ToView() == b; }
  // Orders by character value (bytes compare unsigned).
  friend bool operator<(const StringBase& a, const StringBase& b) noexcept {
    using U = std::make_unsigned_t<C>;
    uint32_t n = a.Length() < b.Length() ? a.Length() : b.Length();
    for (uint32_t i = 0; i < n; ++i) {
      U x = static_cast<U>(a.data_[i]), y = static_cast<U>(b.data_[i]);
      if (x != y) return x < y;
    }
    return a.Length() < b.Length();
  }

  // `count` characters from `start`, clipped to the end; empty for a start at or past the end.
  StringBase Substring(uint32_t start, uint32_t count = npos) const {
    uint32_t n = Length();
    if (start >= n) return StringBase();
    if (count > n - start) count = n - start;
    if (start == 0 && count == n) return *this;
    return StringBase(data_ + start, count);
  }

  // First occurrence of `needle` at or after `start` that ends within the first `end` characters;
  // npos when there is none or either string is empty.
  uint32_t Find(const StringBase& needle, uint32_t start = 0, uint32_t end = npos) const {
    uint32_t n = Length() < end ? Length() : end;
    uint32_t m = needle.Length();
    if (m == 0 || n == 0 || m > n) return npos;
    for (uint32_t i = start; i <= n - m; ++i)
      if (Equal(data_ + i, needle.data_, m)) return i;
    return npos;
  }
  uint32_t Find(C c, uint32_t start = 0) const { return Find(StringBase(c), start); }

  // Last such occurrence.
  uint32_t ReverseFind(const StringBase& needle, uint32_t start = 0, uint32_t end = npos) const {
    uint32_t n = Length() < end ? Length() : end;
    uint32_t m = needle.Length();
    if (m == 0 || n == 0 || m > n || start > n - m) return npos;
    for (uint32_t i = n - m + 1; i-- > start;)
      if (Equal(data_ + i, needle.data_, m)) return i;
    return npos;
  }
  uint32_t ReverseFind(C c) const { return ReverseFind(StringBase(c)); }

  bool Contains(const StringBase& needle) const { return Find(needle) != npos; }

  StringBase ReplaceAll(const StringBase& needle, const StringBase& replacement) const {
    if (needle.IsEmpty()) return *this;
    StringBase result;
    uint32_t from = 0;
    for (uint32_t at = Find(needle); at != npos; at = Find(needle, from)) {
      result.Append(data_ + from, at - from);
      result.Append(replacement);
      from = at + needle.Length();
    }
    if (from == 0) return *this;
    result.Append(data_ + from, Length() - from);
    return result;
  }

  bool StartsWith(const StringBase& prefix) const {
    return prefix.Length() <= Length() && Equal(CStr(), prefix.CStr(), prefix.Length());
  }
  bool EndsWith(const StringBase& suffix) const {
    return suffix.Length() <= Length() &&
           Equal(CStr() + Length() - suffix.Length(), suffix.CStr(), suffix.Length());
  }

  // Pieces between the separators (empty pieces included); an empty separator gives the whole.
  std::vector<StringBase> Split(const StringBase& separator) const {
    std::vector<StringBase> pieces;
    if (separator.IsEmpty()) {
      pieces.push_back(*this);
      return pieces;
    }
    uint32_t from = 0;
    for (uint32_t at = Find(separator); at != npos; at = Find(separator, from)) {
      pieces.push_back(Substring(from, at - from));
      from = at + separator.Length();
    }
    pieces.push_back(Substring(from));
    return pieces;
  }

  static StringBase Join(const std::vector<StringBase>& pieces, const StringBase& separator) {
    StringBase result;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i) result.Append(separator);
      result.Append(pieces[i]);
    }
    return result;
  }

  // Prepends `c` until the length reaches `width`.
  StringBase PadLeft(uint32_t width, C c) const {
    if (Length() >= width) return *this;
    StringBase result;
    C* out = result.Allocate(width);
    uint32_t pad = width - Length();
    for (uint32_t i = 0; i < pad; ++i) out[i] = c;
    if (Length()) std::memcpy(out + pad, data_, Length() * sizeof(C));
    return result;
  }

  // Removes carriage returns, line feeds, tabs and spaces from both ends.
  StringBase Trim() const {
    uint32_t begin = 0, end = Length();
    while (begin < end && IsBlank(data_[begin])) ++begin;
    while (end > begin && IsBlank(data_[end - 1])) --end;
    return Substring(begin, end - begin);
  }

  // Storage introspection, for tests and diagnostics.
  bool IsInline() const noexcept { return data_ == inline_; }
  // The count of the shared heap block; 0 for inline or empty strings.
  int32_t UseCount() const noexcept {
    return data_ && !IsInline() ? Counter()->load(std::memory_order_relaxed) : 0;
  }

 private:
  using Count = std::atomic<int32_t>;
  static_assert(sizeof(Count) == 4 && Count::is_always_lock_free);

  static const C* EmptyText() noexcept {
    static const C zero = 0;
    return &zero;
  }
  static uint32_t Measure(const C* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return CheckedLength(n);
  }
  static uint32_t CheckedLength(size_t n) {
    if (n >= npos) throw std::bad_alloc();
    return static_cast<uint32_t>(n);
  }
  static bool Equal(const C* a, const C* b, uint32_t n) noexcept {
    return std::memcmp(a, b, n * sizeof(C)) == 0;
  }
  static bool IsBlank(C c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  Count* Counter() const noexcept {
    return reinterpret_cast<Count*>(reinterpret_cast<char*>(data_) - sizeof(Count));
  }
  bool IsShared() const noexcept { return data_ && !IsInline() && UseCount() > 1; }

  // A heap block: the count, the characters, a terminating zero character.
  static size_t BlockSize(uint32_t count) {
    return sizeof(Count) + (size_t(count) + 1) * sizeof(C);
  }

  // Gives the (released) string fresh storage for `count` characters and returns it; the
  // terminator is written, the characters are not.
  C* Allocate(uint32_t count) {
    length_ = count;
    if (count == 0) {
      data_ = nullptr;
      return nullptr;
    }
    if (count <= kInlineCapacity) {
      data_ = inline_;
    } else {
      void* block = std::malloc(BlockSize(count));
      if (!block) {
        length_ = 0;
        throw std::bad_alloc();
      }
      new (block) Count(1);
      data_ = reinterpret_cast<C*>(static_cast<char*>(block) + sizeof(Count));
    }
    data_[count] = 0;
    return data_;
  }

  void Assign(const C* text, uint32_t count) {
    C* out = Allocate(count);
    if (count) {
      if (text)
        std::memcpy(out, text, count * sizeof(C));
      else
        std::memset(out, 0, count * sizeof(C));
    }
  }

  void CopyFrom(const StringBase& other) noexcept {
    length_ = other.Length();
    if (length_ == 0) {
      data_ = nullptr;
    } else if (other.IsInline()) {
      std::memcpy(inline_, other.inline_, sizeof inline_);
      data_ = inline_;
    } else {
      data_ = other.data_;
      Counter()->fetch_add(1, std::memory_order_relaxed);
    }
  }

  void MoveFrom(StringBase& other) noexcept {
    if (other.IsInline()) {
      CopyFrom(other);
    } else {
      data_ = other.data_;
      length_ = other.length_;
    }
    other.data_ = nullptr;
    other.length_ = 0;
  }

  void Release() noexcept {
    if (data_ && !IsInline() && Counter()->fetch_sub(1, std::memory_order_acq_rel) == 1) {
      Counter()->~Count();
      std::free(Counter());
    }
    data_ = nullptr;
    length_ = 0;
  }

  long long ParseSigned() const {
    uint32_t i = 0, n = Length();
    while (i < n && (data_[i] == ' ' || (data_[i] >= '\t' && data_[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < n && (data_[i] == '-' || data_[i] == '+')) negative = data_[i++] == '-';
    unsigned long long value = 0;
    for (; i < n && data_[i] >= '0' && data_[i] <= '9'; ++i) value = value * 10 + (data_[i] - '0');
    return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
  }

  C* data_ = nullptr;
  uint32_t length_ = 0;
  C inline_[N] = {};
};

template <typename C, int N>
StringBase<C, N>& StringBase<C, N>::Append(const C* text, uint32_t count) {
  if (count == 0) return *this;
  uint32_t old = Length();
  if (old == 0) {
    Assign(text, count);
    return *this;
  }
  if (count > npos - 1 - old) throw std::bad_alloc();
  uint32_t total = old + count;
  // The appended text may live inside this string's own storage.
  bool aliases = text && text >= data_ && text < data_ + old;
  if (!aliases && !IsInline() && UseCount() == 1) {
    void* block = std::realloc(Counter(), BlockSize(total));
    if (!block) throw std::bad_alloc();
    data_ = reinterpret_cast<C*>(static_cast<char*>(block) + sizeof(Count));
  } else {
    StringBase grown;
    C* out = grown.Allocate(total);
    std::memcpy(out, data_, old * sizeof(C));
    if (text)
      std::memcpy(out + old, text, count * sizeof(C));
    else
      std::memset(out + old, 0, count * sizeof(C));
    *this = std::move(grown);
    return *this;
  }
  if (text)
    std::memcpy(data_ + old, text, count * sizeof(C));
  else
    std::memset(data_ + old, 0, count * sizeof(C));
  length_ = total;
  data_[total] = 0;
  return *this;
}

// Narrow strings: bytes. Wide strings: UTF-16 units on every platform.
using String = StringBase<char, 8>;
using WString = StringBase<char16_t, 8>;

// UTF-8 to UTF-16, up to the first zero byte, losing nothing: characters beyond U+FFFF become
// surrogate pairs, and each byte that does not belong to a valid sequence (an overlong form, an
// encoded surrogate, a value above U+10FFFF, a 5- or 6-byte form, a truncated sequence, a stray
// continuation byte) becomes the lone surrogate U+DC80 + byte, never a character. So a POSIX
// name, argument or environment value that is not UTF-8 survives the wide layer unchanged:
// ToUtf8(FromUtf8(b)) == b for every byte string without zero bytes.
WString FromUtf8(const String& text);
// UTF-16 to UTF-8, the inverse of FromUtf8: a lone U+DC80..U+DCFF becomes the byte it stands for,
// any other lone surrogate becomes U+FFFD (EF BF BD), and a U+0000 unit produces nothing.
String ToUtf8(const WString& text);

// True and `text` set when `bytes` is entirely valid UTF-8 (up to its first zero byte).
bool TryFromUtf8(const String& bytes, WString* text);
// True and `bytes` set when `text` holds no lone surrogate, so that it can be stored as UTF-8.
// A U+0000 unit also gives false: the bytes would end there. On true, TryFromUtf8 of `bytes`
// gives `text` back. On false the output is left as it was.
bool TryToUtf8(const WString& text, String* bytes);

// Two upper-case hexadecimal digits per byte, high nibble first.
String ToHex(const String& bytes);

// True for the letters A to Z and a to z, in a narrow or a wide character.
template <typename C>
constexpr bool IsAsciiLetter(C c) {
  return (c >= C('A') && c <= C('Z')) || (c >= C('a') && c <= C('z'));
}

// Simple Unicode case mappings through the case table.
char16_t ToLowerChar(char16_t c);
char16_t ToUpperChar(char16_t c);
WString ToLower(const WString& text);
WString ToUpper(const WString& text);
// True when the first `count` characters of both are equal after upper-casing (a shorter string
// compares its terminator, so it differs from a longer one within `count`).
bool CompareNoCase(const WString& a, const WString& b, uint32_t count);
// Byte tests after the C library's upper-casing.
bool EndsWithNoCase(const String& text, const String& suffix);
bool EndsWithNoCase(const WString& text, const WString& suffix);

}  // namespace Vadu

template <typename C, int N>
struct std::hash<Vadu::StringBase<C, N>> {
  size_t operator()(const Vadu::StringBase<C, N>& s) const noexcept {
    return std::hash<std::basic_string_view<C>>()(s.ToView());
  }
};
