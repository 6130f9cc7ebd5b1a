#include "support/tar_rewrite.h"

#include <cstring>
#include <vector>

#include "support/tar_format.h"

namespace Vadu {

namespace {

using Block = std::vector<unsigned char>;

// One extended header of the entry (pax records, a GNU long name or long link) with its data.
struct Extension {
  Block header;
  String data;
  char Type() const { return static_cast<char>(header[TarFields::kType.offset]); }
};

// The entry's headers taken apart.
struct Headers {
  std::vector<Extension> extensions;
  Block header;
  String rest;  // sparse extension blocks, kept as they are
};

std::optional<Headers> Split(const String& bytes) {
  Headers parts;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.Data());
  uint32_t at = 0;
  while (at + kTarBlockSize <= bytes.Length()) {
    const TarHeaderView view(data + at);
    Block block(data + at, data + at + kTarBlockSize);
    at += kTarBlockSize;
    const char type = view.Type();
    if (type != TarType::kPaxExtended && type != TarType::kGnuLongName &&
        type != TarType::kGnuLongLink) {
      parts.header = std::move(block);
      parts.rest = bytes.Substring(at);
      return parts;
    }
    const std::optional<uint64_t> size = view.Number(TarFields::kSize);
    const std::optional<uint64_t> padded = size ? TarPaddedSize(*size) : std::nullopt;
    if (!padded || *padded > bytes.Length() - at) return std::nullopt;
    parts.extensions.push_back(
        {std::move(block), bytes.Substring(at, static_cast<uint32_t>(*size))});
    at += static_cast<uint32_t>(*padded);
  }
  return std::nullopt;
}

// Sets the record `key` of a pax header's data to `value`; false when it has no such record.
bool SetPaxRecord(String& data, const String& key, const String& value) {
  std::optional<std::vector<PaxRecord>> records = ParsePaxRecords(data);
  if (!records) return false;
  bool found = false;
  String rebuilt;
  uint32_t at = 0;
  // Records are kept as stored, byte for byte; only the changed one is written anew.
  for (const PaxRecord& record : *records) {
    if (record.key == key) {
      rebuilt += PaxRecordText(key, value);
      found = true;
    } else {
      rebuilt += data.Substring(at, record.stored);
    }
    at += record.stored;
  }
  if (found) data = rebuilt;
  return found;
}

// A new extended header block of `type` for data of `size` bytes, as GNU tar makes them: a GNU
// long name or link ("././@LongLink"), or a pax header named after the entry.
Block NewExtensionHeader(char type, const Block& entryHeader) {
  Block block(kTarBlockSize, 0);
  const TarHeaderView entry(entryHeader.data());
  if (type == TarType::kPaxExtended) {
    const String name = entry.Name();
    const uint32_t slash = name.ReverseFind('/');
    const String base = slash == String::npos ? name : name.Substring(slash + 1);
    SetTarText(block.data(), TarFields::kName, String("./PaxHeaders/") + base);
    std::memcpy(block.data() + TarFields::kMtime.offset,
                entryHeader.data() + TarFields::kMtime.offset, TarFields::kMtime.size);
    std::memcpy(block.data() + TarFields::kMagic.offset,
                "ustar\0"
                "00",
                8);
  } else {
    SetTarText(block.data(), TarFields::kName, "././@LongLink");
    SetTarNumber(block.data(), TarFields::kMtime, 0);
    std::memcpy(block.data() + TarFields::kMagic.offset, "ustar  \0", 8);
    SetTarText(block.data(), TarFields::kUname, "root");
    SetTarText(block.data(), TarFields::kGname, "root");
  }
  SetTarNumber(block.data(), TarFields::kMode, 0644);
  SetTarNumber(block.data(), TarFields::kUid, 0);
  SetTarNumber(block.data(), TarFields::kGid, 0);
  block[TarFields::kType.offset] = static_cast<unsigned char>(type);
  return block;
}

// Extended header kinds that carry a name or a link name.
struct NameForms {
  const char* paxKey;
  char gnuType;
};
constexpr NameForms kNameForms{"path", TarType::kGnuLongName};
constexpr NameForms kLinkForms{"linkpath", TarType::kGnuLongLink};

// Puts `value` into the extended headers of the entry that carry this kind of name; true when
// one did.
bool SetInExtensions(Headers& parts, const NameForms& forms, const String& value) {
  bool carried = false;
  for (Extension& extension : parts.extensions) {
    if (extension.Type() == forms.gnuType) {
      extension.data = value + String("\0", 1);
      carried = true;
    } else if (extension.Type() == TarType::kPaxExtended) {
      carried = SetPaxRecord(extension.data, forms.paxKey, value) || carried;
    }
  }
  return carried;
}

// Adds an extended header that carries `value`: a GNU long name or link for GNU archives, a pax
// record (in the entry's pax header, or a new one) for the others.
void AddExtension(Headers& parts, const NameForms& forms, const String& value) {
  const TarDialect dialect = TarHeaderView(parts.header.data()).Dialect();
  if (dialect == TarDialect::kGnu) {
    parts.extensions.push_back(
        {NewExtensionHeader(forms.gnuType, parts.header), value + String("\0", 1)});
    return;
  }
  for (Extension& extension : parts.extensions) {
    if (extension.Type() == TarType::kPaxExtended) {
      extension.data += PaxRecordText(forms.paxKey, value);
      return;
    }
  }
  parts.extensions.push_back({NewExtensionHeader(TarType::kPaxExtended, parts.header),
                              PaxRecordText(forms.paxKey, value)});
}

void ChangeName(Headers& parts, const String& name) {
  // A sparse file in GNU tar's pax form is named by its "GNU.sparse.name" record; its header keeps
  // the name GNU tar gave the stored map.
  bool sparseName = false;
  for (Extension& extension : parts.extensions)
    if (extension.Type() == TarType::kPaxExtended)
      sparseName = SetPaxRecord(extension.data, "GNU.sparse.name", name) || sparseName;
  if (sparseName) {
    SetInExtensions(parts, kNameForms, name);
    return;
  }
  unsigned char* header = parts.header.data();
  const TarDialect dialect = TarHeaderView(header).Dialect();
  String prefix, rest = name;
  const bool fits = dialect == TarDialect::kUstar ? SplitUstarName(name, &prefix, &rest)
                                                  : name.Length() <= TarFields::kName.size;
  // Where it does not fit, the header keeps what does, as GNU tar writes it.
  if (!fits) prefix = String(), rest = name;
  SetTarText(header, TarFields::kName, rest);
  if (dialect == TarDialect::kUstar) SetTarText(header, TarFields::kPrefix, prefix);
  if (!SetInExtensions(parts, kNameForms, name) && !fits) AddExtension(parts, kNameForms, name);
}

void ChangeLinkName(Headers& parts, const String& linkName) {
  const bool fits = linkName.Length() <= TarFields::kLinkName.size;
  SetTarText(parts.header.data(), TarFields::kLinkName, linkName);
  if (!SetInExtensions(parts, kLinkForms, linkName) && !fits)
    AddExtension(parts, kLinkForms, linkName);
}

void ChangeSize(Headers& parts, uint64_t size) {
  SetTarNumber(parts.header.data(), TarFields::kSize, size);
  for (Extension& extension : parts.extensions)
    if (extension.Type() == TarType::kPaxExtended)
      SetPaxRecord(extension.data, "size", String::FromNumber(size));
}

String Join(Headers& parts) {
  String out;
  for (Extension& extension : parts.extensions) {
    SetTarNumber(extension.header.data(), TarFields::kSize, extension.data.Length());
    SetTarChecksum(extension.header.data());
    out.Append(reinterpret_cast<const char*>(extension.header.data()), kTarBlockSize);
    out += extension.data;
    const uint32_t padding = *TarPaddedSize(extension.data.Length()) - extension.data.Length();
    out.Append(nullptr, padding);
  }
  SetTarChecksum(parts.header.data());
  out.Append(reinterpret_cast<const char*>(parts.header.data()), kTarBlockSize);
  out += parts.rest;
  return out;
}

}  // namespace

std::optional<String> RewriteTarHeaders(const String& headers, const TarEntryChange& change) {
  std::optional<Headers> parts = Split(headers);
  if (!parts) return std::nullopt;
  if (change.name) ChangeName(*parts, *change.name);
  if (change.linkName) ChangeLinkName(*parts, *change.linkName);
  if (change.size) ChangeSize(*parts, *change.size);
  return Join(*parts);
}

}  // namespace Vadu
