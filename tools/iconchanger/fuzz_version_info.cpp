// libFuzzer target on a version information resource alone (a VS_VERSIONINFO blob): every input
// the reader accepts must take fixed strings (non-BMP characters included) without any other
// error than running out of the format's 16-bit lengths, and read back with those strings set in
// every table and every other string as it was.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "version_info.h"

namespace iconchanger {
namespace {

const std::vector<VersionString>& FixedStrings() {
  static const std::vector<VersionString> strings = {
      {u"ProductName", u"Smith & Sons \"Vision\" \u00dcn\u00efc\u00f8d\u00e9 \U0001F3A5"},
      {u"CompanyName", u"Smith & Sons"},
      {u"ZentuFuzz", u""},
  };
  return strings;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsSet(const std::u16string& key) {
  for (const VersionString& s : FixedStrings()) {
    if (s.key == key) return true;
  }
  return false;
}

// The strings of `table` that the edit does not touch, in order.
std::vector<VersionString> Untouched(const VersionStringTable& table) {
  std::vector<VersionString> kept;
  for (const VersionString& s : table.strings) {
    if (!IsSet(s.key)) kept.push_back(s);
  }
  return kept;
}

// The most a table can grow by: each fixed string as a new node, with padding.
size_t MaxGrowthPerTable() {
  size_t growth = 0;
  for (const VersionString& s : FixedStrings()) {
    growth += 6 + 2 * (s.key.size() + 1) + 2 + 2 * (s.value.size() + 1) + 3;
  }
  return growth;
}

}  // namespace
}  // namespace iconchanger

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace iconchanger;
  const ByteSpan resource(data, size);
  std::vector<VersionStringTable> before;
  try {
    before = ReadVersionStringTables(resource);
  } catch (const Error&) {
    return 0;
  }
  Bytes edited;
  try {
    edited = SetVersionStrings(resource, FixedStrings());
  } catch (const Error&) {
    // Only a result beyond the 16-bit lengths may be refused.
    Check(LoadU16(data) + before.size() * MaxGrowthPerTable() > 0xffff);
    return 0;
  }
  if (before.empty()) {
    Check(edited == Bytes(resource.begin(), resource.end()));
    return 0;
  }
  const std::vector<VersionStringTable> after = ReadVersionStringTables(edited);
  Check(after.size() == before.size());
  for (size_t t = 0; t < before.size(); ++t) {
    Check(after[t].key == before[t].key);
    Check(Untouched(after[t]) == Untouched(before[t]));
    for (const VersionString& wanted : FixedStrings()) {
      bool found = false;
      for (const VersionString& s : after[t].strings) {
        if (s.key != wanted.key) continue;
        Check(s.value == wanted.value);
        found = true;
      }
      Check(found);
    }
  }
  Check(SetVersionStrings(edited, FixedStrings()) == edited);
  return 0;
}
