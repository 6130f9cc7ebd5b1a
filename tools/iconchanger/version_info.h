// The version information resource of a Windows program (RT_VERSION, a VS_VERSIONINFO tree):
// reading the strings of its string tables and setting some of them, every other byte of the
// resource left as it was.
#ifndef ZENTU_TOOLS_ICONCHANGER_VERSION_INFO_H_
#define ZENTU_TOOLS_ICONCHANGER_VERSION_INFO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_io.h"

namespace iconchanger {

inline constexpr uint32_t kRtVersion = 16;

// One string of a string table: its key and its value, both UTF-16 without the terminating NUL.
struct VersionString {
  std::u16string key;
  std::u16string value;
  bool operator==(const VersionString&) const = default;
};

// One StringTable block of StringFileInfo: its key (language and code page in hex, such as
// u"040904b0") and its strings in file order.
struct VersionStringTable {
  std::u16string key;
  std::vector<VersionString> strings;
  bool operator==(const VersionStringTable&) const = default;
};

// The string tables of one VS_VERSIONINFO resource, in file order. Throws Error when malformed:
// lengths beyond their parent, keys without their NUL, nesting deeper than the format needs, or a
// root that is not "VS_VERSION_INFO".
std::vector<VersionStringTable> ReadVersionStringTables(ByteSpan resource);

// Returns the resource with each of `strings` set in every string table: a string of that key gets
// the new value, a table without one gets it appended (the last value given for a key wins). Only
// the nodes on the path to a changed string are rebuilt; every other node keeps its bytes. Throws
// Error when the resource is malformed, a key is empty or holds a NUL, a value holds a NUL, or the
// result would exceed the format's 16-bit lengths. Without string tables the resource is returned
// as it is.
Bytes SetVersionStrings(ByteSpan resource, const std::vector<VersionString>& strings);

// The whole edit in memory: sets `strings` in every language of every RT_VERSION resource of the
// executable and returns the rebuilt executable (other resources, sections, checksum and
// certificate table handled as by the icon edit). nullopt when the executable has no version
// resource with a string table: nothing is added then. Throws Error on malformed input.
std::optional<Bytes> ChangeExecutableVersionStrings(Bytes executable,
                                                    const std::vector<VersionString>& strings);

// True when the executable has at least one version resource with a string table (there is
// something to set strings in); false also for images that cannot be read.
bool ExecutableHasVersionStrings(ByteSpan executable);

// True when every string table of every RT_VERSION resource of the executable holds each of
// `strings` with its value, and there is at least one table; false for images or resources that
// cannot be read. Lets a caller check what a tool claims to have done.
bool ExecutableCarriesVersionStrings(ByteSpan executable,
                                     const std::vector<VersionString>& strings);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_VERSION_INFO_H_
