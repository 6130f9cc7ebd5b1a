// libFuzzer target: runs the whole in-memory icon edit, or the version strings edit, on fuzzed
// input and checks that every accepted input yields an image that reads back with the new icon or
// strings and a correct checksum, and that the check the utility runs on the tool's output accepts
// it.
//
// Input layout: byte 0 selects the edit. Bit 1 set: the version strings edit with fixed strings,
// the rest is the executable. Otherwise the icon edit, and bit 0 selects the icon. Odd: a
// built-in valid icon is used and the rest is the executable (so effort goes into the PE and
// resource parsers). Even: bytes 1..4 give the icon file's length, followed by the icon file and
// then the executable.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "icon_replacer.h"
#include "pe_image.h"
#include "version_info.h"

namespace iconchanger {
namespace {

// A 1x1 monochrome bitmap icon.
Bytes BuiltInIcon() {
  Bytes dib;
  for (uint32_t v : {40u, 1u, 2u}) AppendU32(dib, v);
  AppendU16(dib, 1);
  AppendU16(dib, 1);
  for (int i = 0; i < 6; ++i) AppendU32(dib, 0);
  dib.insert(dib.end(), {0, 0, 0, 0, 255, 255, 255, 0});  // Two palette entries.
  dib.insert(dib.end(), 8, 0);                            // XOR and AND rows.
  Bytes ico = {0, 0, 1, 0, 1, 0, 1, 1, 2, 0, 1, 0, 1, 0};
  AppendU32(ico, static_cast<uint32_t>(dib.size()));
  AppendU32(ico, 22);
  ico.insert(ico.end(), dib.begin(), dib.end());
  return ico;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckResult(const Bytes& out, ByteSpan ico_bytes) {
  const IcoFile ico = ParseIco(ico_bytes);
  const PeImage image(out);  // Must parse: throwing here is a failure too (uncaught).
  Check(ComputePeChecksum(image.bytes(), image.checksum_offset()) == image.checksum());
  const DataDirectory dir = image.directory(kResourceDirectoryIndex);
  const ResourceDirectory root = ParseResourceTree(
      dir.rva, [&](uint32_t rva, uint32_t size, Bytes& o) { return image.ReadRva(rva, size, o); },
      2 * uint64_t{out.size()});
  const ResourceEntry* groups = nullptr;
  const ResourceEntry* icons = nullptr;
  for (const ResourceEntry& e : root.entries) {
    if (e.name == ResourceName::Id(kRtGroupIcon)) groups = &e;
    if (e.name == ResourceName::Id(kRtIcon)) icons = &e;
  }
  Check(groups && icons && groups->is_directory() && icons->is_directory());
  const ResourceEntry& group = groups->directory->entries.front();
  Check(group.is_directory() && !group.directory->entries.empty());
  for (const ResourceEntry& lang : group.directory->entries) {
    const std::vector<GroupIconEntry> entries = ParseGroupIcon(lang.data);
    Check(entries.size() == ico.images.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      bool found = false;
      for (const ResourceEntry& icon : icons->directory->entries) {
        if (icon.name != ResourceName::Id(entries[i].id)) continue;
        for (const ResourceEntry& leaf : icon.directory->entries) {
          found |= leaf.name == lang.name && leaf.data == ico.images[i].data;
        }
      }
      Check(found);
    }
  }
  Check(ExecutableHasIcon(out, ico));
}

const std::vector<VersionString>& FixedVersionStrings() {
  static const std::vector<VersionString> strings = {
      {u"ProductName", u"Smith & Sons \"Vision\" \U0001F3A5"},
      {u"CompanyName", u"Smith & Sons"},
  };
  return strings;
}

void CheckVersionStrings(ByteSpan exe) {
  std::optional<Bytes> out;
  try {
    out = ChangeExecutableVersionStrings(Bytes(exe.begin(), exe.end()), FixedVersionStrings());
  } catch (const Error&) {
    return;
  }
  if (!out) {
    Check(!ExecutableHasVersionStrings(exe));
    return;
  }
  const PeImage image(*out);  // Must parse: throwing here is a failure too (uncaught).
  Check(ComputePeChecksum(image.bytes(), image.checksum_offset()) == image.checksum());
  ReadResourceTree(image);
  Check(ExecutableHasVersionStrings(*out));
  Check(ExecutableCarriesVersionStrings(*out, FixedVersionStrings()));
}

}  // namespace
}  // namespace iconchanger

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace iconchanger;
  if (size < 1) return 0;
  if (data[0] & 2) {
    CheckVersionStrings(ByteSpan(data + 1, size - 1));
    return 0;
  }
  static const Bytes built_in = BuiltInIcon();
  ByteSpan ico, exe;
  if (data[0] & 1) {
    ico = built_in;
    exe = ByteSpan(data + 1, size - 1);
  } else {
    if (size < 5) return 0;
    const ByteSpan rest(data + 5, size - 5);
    const size_t ico_size = std::min<size_t>(LoadU32(data + 1), rest.size());
    ico = rest.first(ico_size);
    exe = rest.subspan(ico_size);
  }
  Bytes out;
  try {
    out = ChangeExecutableIcon(Bytes(exe.begin(), exe.end()), ParseIco(ico));
  } catch (const Error&) {
    return 0;
  }
  CheckResult(out, ico);
  return 0;
}
