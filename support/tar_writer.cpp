#include "support/tar_writer.h"

#include <cstring>

#include "support/tar_format.h"

namespace Vadu {

namespace {

// The largest size an octal size field holds: 11 digits.
constexpr uint64_t kOctalSizeLimit = (uint64_t{1} << 33) - 1;

char TypeOf(TarWriteEntry::Kind kind) {
  switch (kind) {
    case TarWriteEntry::Kind::kDirectory:
      return TarType::kDirectory;
    case TarWriteEntry::Kind::kSymbolicLink:
      return TarType::kSymbolicLink;
    case TarWriteEntry::Kind::kFile:
      break;
  }
  return TarType::kRegular;
}

// A ustar header block for the entry, with the name and link name cut where they do not fit.
String UstarHeader(const TarWriteEntry& entry, char type, const String& name, uint64_t size) {
  unsigned char block[kTarBlockSize] = {};
  String prefix, rest = name;
  if (!SplitUstarName(name, &prefix, &rest)) prefix = String(), rest = name;
  SetTarText(block, TarFields::kName, rest);
  SetTarText(block, TarFields::kPrefix, prefix);
  SetTarNumber(block, TarFields::kMode, entry.mode & 07777);
  SetTarNumber(block, TarFields::kUid, entry.uid);
  SetTarNumber(block, TarFields::kGid, entry.gid);
  SetTarNumber(block, TarFields::kSize, size);
  SetTarNumber(block, TarFields::kMtime, entry.mtime < 0 ? 0 : static_cast<uint64_t>(entry.mtime));
  block[TarFields::kType.offset] = static_cast<unsigned char>(type);
  SetTarText(block, TarFields::kLinkName, entry.linkName);
  std::memcpy(block + TarFields::kMagic.offset,
              "ustar\0"
              "00",
              8);
  SetTarText(block, TarFields::kUname, entry.uname);
  SetTarText(block, TarFields::kGname, entry.gname);
  SetTarChecksum(block);
  return String(reinterpret_cast<const char*>(block), kTarBlockSize);
}

}  // namespace

String TarHeadersFor(const TarWriteEntry& entry) {
  const char type = TypeOf(entry.kind);
  const uint64_t size = entry.kind == TarWriteEntry::Kind::kFile ? entry.size : 0;
  String prefix, rest;
  String records;
  if (!SplitUstarName(entry.name, &prefix, &rest)) records += PaxRecordText("path", entry.name);
  if (entry.linkName.Length() > TarFields::kLinkName.size)
    records += PaxRecordText("linkpath", entry.linkName);
  if (size > kOctalSizeLimit) records += PaxRecordText("size", String::FromNumber(size));
  const String header = UstarHeader(entry, type, entry.name, size > kOctalSizeLimit ? 0 : size);
  if (records.IsEmpty()) return header;
  // GNU tar's name for the extended header of an entry.
  String base = entry.name;
  while (base.EndsWith("/")) base = base.Substring(0, base.Length() - 1);
  if (const uint32_t slash = base.ReverseFind('/'); slash != String::npos)
    base = base.Substring(slash + 1);
  TarWriteEntry extended;
  extended.name = String("./PaxHeaders/") + base;
  extended.mtime = entry.mtime;
  return UstarHeader(extended, TarType::kPaxExtended, extended.name.Substring(0, 99),
                     records.Length()) +
         records + TarPadding(records.Length()) + header;
}

String TarPadding(uint64_t size) {
  String zeros;
  zeros.Append(nullptr, static_cast<uint32_t>(*TarPaddedSize(size) - size));
  return zeros;
}

String TarEnd() {
  String zeros;
  zeros.Append(nullptr, 2 * kTarBlockSize);
  return zeros;
}

}  // namespace Vadu
