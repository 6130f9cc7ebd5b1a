// Parses arbitrary bytes as XML. Comment removal must match its plain form, the tags must lie
// inside the input in document order, the tree must respect the depth limit, an empty parse must
// keep the tree, and a tree whose names are plain must come back from its own written text with the
// same names, attributes and texts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/xml_parser.h"

using Vadu::String;
using Vadu::TagInfo;
using Vadu::XMLNode;
using Vadu::XMLParser;

namespace {

bool IsPlainName(const String& name) {
  if (name.IsEmpty()) return false;
  for (uint32_t i = 0; i < name.Length(); ++i) {
    char c = name[i];
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-' || c == '.' || c == ':';
    if (!plain) return false;
  }
  return true;
}

// Walks the tree without recursion; checks the depth and whether every name is plain.
bool CheckTree(const XMLNode* root) {
  bool plain = true;
  std::vector<std::pair<const XMLNode*, uint32_t>> pending{{root, 0}};
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    if (depth > XMLParser::kMaxDepth) std::abort();
    if (node->ChildCount() && !node->GetText(false).IsEmpty()) std::abort();  // leaves only
    plain = plain && IsPlainName(node->GetName());
    for (const auto& [name, value] : node->GetAttributes()) plain = plain && IsPlainName(name);
    for (const XMLNode* child : node->Children()) {
      if (child->GetParent() != node) std::abort();
      pending.emplace_back(child, depth + 1);
    }
  }
  return plain;
}

// Comment removal in its plainest form, to compare the parser's faster one with: the text from
// the first "<!--" to the first "-->" (to the end when that comes first) goes, with every other
// occurrence of it, until one of the markers is gone. Written on std::string, so that it shares
// no code with the parser.
std::string StripCommentsPlainly(std::string text) {
  for (;;) {
    const size_t open = text.find("<!--"), close = text.find("-->");
    if (open == std::string::npos || close == std::string::npos) return text;
    const std::string piece =
        close + 3 > open ? text.substr(open, close + 3 - open) : text.substr(open);
    std::string rest;
    size_t from = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, from)) {
      rest.append(text, from, at - from);
      from = at + piece.size();
    }
    rest.append(text, from);
    text = std::move(rest);
  }
}

// Attribute values holding "&amp;" do not survive the system's entity coding (every "&" is left
// alone on encoding, and decoding turns "&amp;" back into "&"), so they are not compared.
bool SameTree(const XMLNode* a, const XMLNode* b) {
  std::vector<std::pair<const XMLNode*, const XMLNode*>> pending{{a, b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (!(x->GetName() == y->GetName()) || !(x->GetText() == y->GetText())) return false;
    auto xa = x->GetAttributes(), ya = y->GetAttributes();
    if (xa.size() != ya.size()) return false;
    for (auto i = xa.begin(), j = ya.begin(); i != xa.end(); ++i, ++j) {
      if (!(i->first == j->first)) return false;
      if (!i->second.Contains("&amp;") && !(i->second == j->second)) return false;
    }
    if (x->ChildCount() != y->ChildCount()) return false;
    for (size_t i = 0; i < x->ChildCount(); ++i)
      pending.emplace_back(x->Children()[i], y->Children()[i]);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size >= String::npos) return 0;
  bool stripPrefixes = data[0] & 1;
  String text(reinterpret_cast<const char*>(data + 1), static_cast<uint32_t>(size - 1));

  XMLParser parser;
  XMLNode* root = parser.Parse(text, stripPrefixes);
  if (!root) std::abort();

  if (parser.Input().ToView() != StripCommentsPlainly(std::string(text.ToView()))) std::abort();

  const std::vector<TagInfo>& tags = parser.Tags();
  uint32_t length = parser.Input().Length();
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i].start > tags[i].end || tags[i].end > length) std::abort();
    if (i && tags[i].start <= tags[i - 1].end) std::abort();
  }
  if (!tags.empty() && !(root->GetName() == tags[0].name)) std::abort();

  bool plain = CheckTree(root);
  String written = parser.Serialize(root, 0);
  if (!(parser.Serialize(root, 0) == written)) std::abort();

  if (plain && !tags.empty()) {
    XMLParser again;
    if (!SameTree(root, again.Parse(written))) std::abort();
  }

  // An empty text leaves the tree as it was.
  if (parser.Parse(String()) != root || !(parser.Serialize(root, 0) == written)) std::abort();
  return 0;
}
