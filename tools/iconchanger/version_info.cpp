#include "version_info.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "pe_image.h"
#include "resource_tree.h"

namespace iconchanger {
namespace {

constexpr size_t kNodeHeaderSize = 6;  // wLength, wValueLength, wType.
constexpr size_t kMaxNodeLength = 0xffff;
// The format nests four levels (root, StringFileInfo, StringTable, String); a little more is
// tolerated for unknown blocks, anything deeper is rejected.
constexpr int kMaxDepth = 6;
constexpr uint16_t kTextType = 1;
const std::u16string kRootKey = u"VS_VERSION_INFO";
const std::u16string kStringFileInfoKey = u"StringFileInfo";

constexpr size_t Align4(size_t value) { return (value + 3) & ~size_t{3}; }

// One node of the tree as found in the resource; offsets are relative to the resource start.
struct Node {
  size_t offset = 0;
  size_t end = 0;  // offset + wLength.
  uint16_t value_length = 0;
  uint16_t type = 0;
  std::u16string key;
  size_t value_offset = 0;     // After the key and its padding (at most `end`).
  size_t children_offset = 0;  // After the value and its padding (at most `end`).
  std::vector<Node> children;
};

// Where a node sits in the tree, which decides how its value and children are read.
// kNone is the parent of the root.
enum class NodeKind { kNone, kRoot, kStringFileInfo, kStringTable, kString, kOther };

NodeKind KindOf(NodeKind parent, const std::u16string& key) {
  switch (parent) {
    case NodeKind::kNone:
      return NodeKind::kRoot;
    case NodeKind::kRoot:
      return key == kStringFileInfoKey ? NodeKind::kStringFileInfo : NodeKind::kOther;
    case NodeKind::kStringFileInfo:
      return NodeKind::kStringTable;
    case NodeKind::kStringTable:
      return NodeKind::kString;
    default:
      return NodeKind::kOther;
  }
}

Node ParseNode(ByteSpan data, size_t offset, size_t limit, NodeKind parent, int depth);

// Parses the children found in [node.children_offset, node.end), each starting 4-aligned.
void ParseChildren(ByteSpan data, Node& node, NodeKind kind, int depth) {
  size_t pos = node.children_offset;
  while (pos < node.end) {
    Node child = ParseNode(data, pos, node.end, kind, depth + 1);
    pos = Align4(child.end);
    node.children.push_back(std::move(child));
  }
}

// Parses the node at `offset`, which must end by `limit` (its parent's end).
Node ParseNode(ByteSpan data, size_t offset, size_t limit, NodeKind parent, int depth) {
  if (depth > kMaxDepth) throw Error("version information nested too deeply");
  if (!InBounds(limit, offset, kNodeHeaderSize)) throw Error("truncated version information");
  Node node;
  node.offset = offset;
  const size_t length = LoadU16(data.data() + offset);
  if (length < kNodeHeaderSize) throw Error("version information node too short");
  if (!InBounds(limit, offset, length)) throw Error("version information node exceeds its parent");
  node.end = offset + length;
  node.value_length = LoadU16(data.data() + offset + 2);
  node.type = LoadU16(data.data() + offset + 4);

  size_t pos = offset + kNodeHeaderSize;
  for (;;) {
    if (node.end - pos < 2) throw Error("version information key not terminated");
    const char16_t unit = LoadU16(data.data() + pos);
    pos += 2;
    if (unit == 0) break;
    node.key.push_back(unit);
  }
  node.value_offset = std::min(Align4(pos), node.end);
  const NodeKind kind = KindOf(parent, node.key);
  if (kind == NodeKind::kString) {  // The value runs to the node's end; no children.
    node.children_offset = node.end;
    return node;
  }
  // A text value's length counts UTF-16 units; some tools count bytes, which is taken when the
  // units would not fit. Only for nodes that are never rebuilt: in a rebuilt node the room after
  // the value changes, and with it the reading.
  const size_t room = node.end - node.value_offset;
  size_t value_bytes = node.value_length;
  if (node.type == kTextType && (kind != NodeKind::kOther || value_bytes * 2 <= room)) {
    value_bytes *= 2;
  }
  if (value_bytes > room) throw Error("version information value exceeds its node");
  node.children_offset = std::min(Align4(node.value_offset + value_bytes), node.end);
  ParseChildren(data, node, kind, depth);
  return node;
}

Node ParseRoot(ByteSpan resource) {
  Node root = ParseNode(resource, 0, resource.size(), NodeKind::kNone, 1);
  if (root.key != kRootKey) throw Error("not a version information resource");
  return root;
}

// A String's value: the UTF-16 units after the key's padding up to the first NUL or the node's
// end (some tools count wValueLength in bytes, so it is not relied on).
std::u16string StringValue(ByteSpan data, const Node& string) {
  std::u16string value;
  for (size_t pos = string.value_offset; pos + 2 <= string.end; pos += 2) {
    const char16_t unit = LoadU16(data.data() + pos);
    if (unit == 0) break;
    value.push_back(unit);
  }
  return value;
}

// The StringTable nodes of the tree, in file order.
std::vector<const Node*> StringTables(const Node& root) {
  std::vector<const Node*> tables;
  for (const Node& block : root.children) {
    if (block.key != kStringFileInfoKey) continue;
    for (const Node& table : block.children) tables.push_back(&table);
  }
  return tables;
}

void AppendUtf16(Bytes& out, const std::u16string& text) {
  for (char16_t unit : text) AppendU16(out, unit);
  AppendU16(out, 0);
}

void PadTo4(Bytes& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// Stores the length of the node that starts at `start` and ends at the end of `out`.
void FinishNode(Bytes& out, size_t start) {
  const size_t length = out.size() - start;
  if (length > kMaxNodeLength) throw Error("version information too large");
  StoreU16(out.data() + start, static_cast<uint16_t>(length));
}

// Appends a String node as resource compilers write it. `out` ends 4-aligned.
void AppendString(Bytes& out, const VersionString& string) {
  if (string.value.size() + 1 > kMaxNodeLength) throw Error("version information too large");
  const size_t start = out.size();
  AppendU16(out, 0);
  AppendU16(out, static_cast<uint16_t>(string.value.size() + 1));
  AppendU16(out, kTextType);
  AppendUtf16(out, string.key);
  PadTo4(out);
  AppendUtf16(out, string.value);
  FinishNode(out, start);
}

// Appends `node` exactly as it is in `data`. `out` ends 4-aligned, as the node's offset is.
void AppendOriginal(Bytes& out, ByteSpan data, const Node& node) {
  out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(node.offset),
             data.begin() + static_cast<ptrdiff_t>(node.end));
}

// Appends the header, key, value and their padding of `node` as they are, to be followed by
// rebuilt children; its length is set by FinishNode.
void AppendHead(Bytes& out, ByteSpan data, const Node& node) {
  out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(node.offset),
             data.begin() + static_cast<ptrdiff_t>(node.children_offset));
}

// The strings to set, each key once (the last value given wins), in order of first mention.
std::vector<VersionString> Normalized(const std::vector<VersionString>& strings) {
  std::vector<VersionString> result;
  for (const VersionString& s : strings) {
    if (s.key.empty() || s.key.find(u'\0') != std::u16string::npos) {
      throw Error("invalid version string key");
    }
    if (s.value.find(u'\0') != std::u16string::npos) {
      throw Error("version string value contains a NUL character");
    }
    const auto same = std::find_if(result.begin(), result.end(),
                                   [&](const VersionString& r) { return r.key == s.key; });
    if (same != result.end()) {
      same->value = s.value;
    } else {
      result.push_back(s);
    }
  }
  return result;
}

void AppendTable(Bytes& out, ByteSpan data, const Node& table,
                 const std::vector<VersionString>& strings) {
  const size_t start = out.size();
  AppendHead(out, data, table);
  std::vector<bool> present(strings.size(), false);
  for (const Node& string : table.children) {
    PadTo4(out);
    const auto match = std::find_if(strings.begin(), strings.end(),
                                    [&](const VersionString& s) { return s.key == string.key; });
    if (match == strings.end()) {
      AppendOriginal(out, data, string);
    } else {
      present[static_cast<size_t>(match - strings.begin())] = true;
      AppendString(out, *match);
    }
  }
  for (size_t i = 0; i < strings.size(); ++i) {
    if (present[i]) continue;
    PadTo4(out);
    AppendString(out, strings[i]);
  }
  FinishNode(out, start);
}

void AppendStringFileInfo(Bytes& out, ByteSpan data, const Node& block,
                          const std::vector<VersionString>& strings) {
  const size_t start = out.size();
  AppendHead(out, data, block);
  for (const Node& table : block.children) {
    PadTo4(out);
    AppendTable(out, data, table, strings);
  }
  FinishNode(out, start);
}

// True when the String nodes of `table` hold each of `strings` with its value.
bool TableCarries(const VersionStringTable& table, const std::vector<VersionString>& strings) {
  for (const VersionString& wanted : strings) {
    bool found = false;
    for (const VersionString& s : table.strings) {
      if (s.key != wanted.key) continue;
      if (s.value != wanted.value) return false;
      found = true;
    }
    if (!found) return false;
  }
  return true;
}

// Calls `visit` with every leaf under the RT_VERSION type of `root` (every name, every language).
template <typename Entry, typename Visit>
void ForEachVersionLeaf(Entry& root_entries, Visit visit) {
  for (auto& type : root_entries) {
    if (type.name != ResourceName::Id(kRtVersion) || !type.is_directory()) continue;
    for (auto& name : type.directory->entries) {
      if (!name.is_directory()) {
        visit(name);
        continue;
      }
      for (auto& language : name.directory->entries) {
        if (!language.is_directory()) visit(language);
      }
    }
  }
}

// What `check` says of the resource tree of a program the caller holds, parsed where it lies.
// False when the image, its resource tree or a resource `check` reads cannot be read (Error, or no
// memory for an absurd image): the checks ask whether something is there, and it is not.
template <typename Check>
bool CheckResourceTree(ByteSpan executable, Check check) {
  try {
    const PeView image(executable);
    return check(ReadResourceTree(image));
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::vector<VersionStringTable> ReadVersionStringTables(ByteSpan resource) {
  const Node root = ParseRoot(resource);
  std::vector<VersionStringTable> tables;
  for (const Node* table : StringTables(root)) {
    VersionStringTable out;
    out.key = table->key;
    for (const Node& string : table->children) {
      out.strings.push_back({string.key, StringValue(resource, string)});
    }
    tables.push_back(std::move(out));
  }
  return tables;
}

Bytes SetVersionStrings(ByteSpan resource, const std::vector<VersionString>& strings) {
  const Node root = ParseRoot(resource);
  const std::vector<VersionString> wanted = Normalized(strings);
  if (StringTables(root).empty() || wanted.empty()) return Bytes(resource.begin(), resource.end());
  Bytes out;
  AppendHead(out, resource, root);
  for (const Node& block : root.children) {
    PadTo4(out);
    if (block.key == kStringFileInfoKey) {
      AppendStringFileInfo(out, resource, block, wanted);
    } else {
      AppendOriginal(out, resource, block);
    }
  }
  FinishNode(out, 0);
  // Bytes after the tree (padding of the resource) stay.
  out.insert(out.end(), resource.begin() + static_cast<ptrdiff_t>(root.end), resource.end());
  return out;
}

std::optional<Bytes> ChangeExecutableVersionStrings(Bytes executable,
                                                    const std::vector<VersionString>& strings) {
  const PeImage image(std::move(executable));
  ResourceDirectory root = ReadResourceTree(image);
  bool changed = false;
  ForEachVersionLeaf(root.entries, [&](ResourceEntry& leaf) {
    if (ReadVersionStringTables(leaf.data).empty()) return;
    leaf.data = SetVersionStrings(leaf.data, strings);
    changed = true;
  });
  if (!changed) return std::nullopt;
  const ResourcePlacement placement = image.PlanResourceSection();
  const Bytes section = BuildResourceSection(root, placement.rva);
  return image.WithResourceSection(placement, section);
}

bool ExecutableHasVersionStrings(ByteSpan executable) {
  return CheckResourceTree(executable, [](const ResourceDirectory& root) {
    bool found = false;
    ForEachVersionLeaf(root.entries, [&](const ResourceEntry& leaf) {
      try {
        found = found || !ReadVersionStringTables(leaf.data).empty();
      } catch (const Error&) {
      }
    });
    return found;
  });
}

bool ExecutableCarriesVersionStrings(ByteSpan executable,
                                     const std::vector<VersionString>& strings) {
  return CheckResourceTree(executable, [&](const ResourceDirectory& root) {
    bool all = true;
    size_t tables = 0;
    ForEachVersionLeaf(root.entries, [&](const ResourceEntry& leaf) {
      for (const VersionStringTable& table : ReadVersionStringTables(leaf.data)) {
        ++tables;
        all = all && TableCarries(table, strings);
      }
    });
    return all && tables > 0;
  });
}

}  // namespace iconchanger
