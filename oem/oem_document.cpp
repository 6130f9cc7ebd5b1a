#include "oem/oem_document.h"

#include <memory>
#include <utility>

#include "oem/oem_key_catalogue.h"
#include "support/xml_node.h"
#include "support/xml_parser.h"

namespace Zentu {

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\"?>";
const char kRootName[] = "vendormark";
const char kRootComment[] = "If you delete a line, the default (Ostrak's) info will be used";
const char kSectionName[] = "oem";
const char kServiceNameKey[] = "ApplicationServiceName";
const char kDefaultServiceName[] = "ZentuCoreService";
constexpr uint32_t kMaxServiceNameLength = 35;

// The items of one "oem" section, visited in document order: an element with child elements is
// a group whose children get its name added to their path, any other element is an item. The
// first of two items with the same key stays. Iterative, so that deep nesting cannot exhaust the
// stack.
OemDocument::Items CollectItems(const Vadu::XMLNode& section) {
  struct Frame {
    std::vector<Vadu::XMLNode*> children;
    size_t next = 0;
  };
  OemDocument::Items items;
  std::vector<Vadu::String> path;
  std::vector<Frame> stack;
  stack.push_back(Frame{section.Children()});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.children.size()) {
      stack.pop_back();
      if (!stack.empty()) path.pop_back();  // leaving a group
      continue;
    }
    const Vadu::XMLNode* element = frame.children[frame.next++];
    if (element->ChildCount() > 0) {
      path.push_back(element->GetName());
      stack.push_back(Frame{element->Children()});
      continue;
    }
    OemItem item;
    item.path = path;
    item.name = element->GetName();
    item.value = element->GetText(/*decode=*/true);
    Vadu::String key = OemDocument::ItemKey(item.name, item.path);
    items.emplace(std::move(key), std::move(item));
  }
  return items;
}

// Owns the nodes of a tree being written (a node does not own its children).
class NodeArena {
 public:
  Vadu::XMLNode* Create(const Vadu::String& name) {
    nodes_.push_back(std::make_unique<Vadu::XMLNode>());
    nodes_.back()->SetName(name);
    return nodes_.back().get();
  }

 private:
  std::vector<std::unique_ptr<Vadu::XMLNode>> nodes_;
};

}  // namespace

OemDocument::OemDocument(const Vadu::String& text) { Load(text, /*normalise=*/true); }

Vadu::String OemDocument::ItemKey(const Vadu::String& name, const std::vector<Vadu::String>& path) {
  Vadu::String key = name;
  for (const Vadu::String& group : path) key += group;
  return key;
}

bool OemDocument::Load(const Vadu::String& text, bool normalise) {
  items_.clear();
  if (!text.IsEmpty()) {
    Vadu::XMLParser parser;
    const Vadu::XMLNode* root = parser.Parse(text, /*stripPrefixes=*/false);
    for (const Vadu::XMLNode* section : root->ChildrenByName(kSectionName)) {
      Items found = CollectItems(*section);
      if (!found.empty()) {
        items_ = std::move(found);
        break;
      }
    }
  }
  bool loaded = !items_.empty();
  if (normalise) NormaliseServiceName();
  return loaded;
}

void OemDocument::Set(const Vadu::String& description, const Vadu::String& value,
                      const Vadu::String& name, const Vadu::String& group1,
                      const Vadu::String& group2, bool hidden) {
  Vadu::String key = name + group1 + group2;
  auto found = items_.find(key);
  if (found != items_.end()) {
    found->second.value = value;
    return;
  }
  OemItem item;
  if (!group1.IsEmpty()) {
    item.path.push_back(group1);
    if (!group2.IsEmpty()) item.path.push_back(group2);
  }
  item.name = name;
  item.value = value;
  item.description = description;
  item.hidden = hidden;
  items_.emplace(std::move(key), std::move(item));
}

Vadu::String OemDocument::Value(const Vadu::String& key, const Vadu::String& fallback) const {
  const OemItem* item = Find(key);
  return item && !item->value.IsEmpty() ? item->value : fallback;
}

const OemItem* OemDocument::Find(const Vadu::String& key) const {
  auto found = items_.find(key);
  return found == items_.end() ? nullptr : &found->second;
}

Vadu::String OemDocument::ToXml() const {
  NodeArena arena;
  Vadu::XMLNode* root = arena.Create(kRootName);
  root->SetComment(kRootComment);
  if (!items_.empty()) {
    Vadu::XMLNode* section = arena.Create(kSectionName);
    root->AppendChild(section);
    for (const auto& [key, item] : items_) {
      if (item.hidden) continue;
      Vadu::XMLNode* parent = section;
      for (const Vadu::String& group : item.path) {
        Vadu::XMLNode* child = parent->FindChild(group, 0);
        if (!child) {
          child = arena.Create(group);
          parent->AppendChild(child);
        }
        parent = child;
      }
      Vadu::XMLNode* element = arena.Create(item.name);
      element->SetText(item.value);
      element->SetComment(item.description);
      parent->AppendChild(element);
    }
  }
  Vadu::XMLParser writer;
  return Vadu::String(kDeclaration) + writer.Serialize(root, 0);
}

void OemDocument::NormaliseServiceName() {
  Vadu::String name = Value(kServiceNameKey, "");
  if (name.IsEmpty()) return;
  Vadu::String letters;
  for (uint32_t i = 0; i < name.Length(); ++i)
    if (Vadu::IsAsciiLetter(name[i])) letters += name[i];
  if (letters.Length() > kMaxServiceNameLength)
    letters = letters.Substring(0, kMaxServiceNameLength);
  if (letters.IsEmpty()) letters = kDefaultServiceName;
  SetApplicationServiceName(*this, letters);
}

}  // namespace Zentu
