// A small XML element model: element nodes with a name, attributes, the text of a leaf and one
// comment, the system's own entity coding, and the writer that turns a node tree into indented
// text. Everything is narrow UTF-8 text.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// Attribute values by name, ordered byte-wise.
using XMLAttributes = std::map<String, String>;

// Entity coding with the system's own five references: "&amp;", "&lt;", "&rt;" (for ">"),
// "&apos;" and "&quot;". Encoding leaves every "&" alone when the text already holds "&amp;".
// Decoding recognises only those five references ("&amp;" first).
String EscapeText(const String& text, bool encode);

// Name-to-value pairs of a start tag's attribute text (name="value" or name='value'). Values are
// returned as written, not decoded. A text whose "=" signs and quoted values do not pair up, or
// with an unterminated quote, gives no attributes at all.
XMLAttributes ParseAttributes(const String& text);

// An element. A node does not own its children, nor its parent: whoever creates nodes destroys
// them. Destroying a node detaches its children and removes it from its parent's list.
class XMLNode {
 public:
  XMLNode() = default;
  virtual ~XMLNode();
  XMLNode(const XMLNode&) = delete;
  XMLNode& operator=(const XMLNode&) = delete;

  void SetName(const String& name) { name_ = name; }
  const String& GetName() const { return name_; }
  void SetComment(const String& comment) { comment_ = comment; }
  const String& GetComment() const { return comment_; }

  // Stores the encoded form of `text`.
  void SetText(const String& text) { text_ = EscapeText(text, /*encode=*/true); }
  // The decoded text, or the stored (escaped) form.
  String GetText(bool decode = true) const {
    return decode ? EscapeText(text_, /*encode=*/false) : text_;
  }

  // Stores the raw attribute text and rebuilds the attributes from it, values decoded.
  void SetAttributeText(const String& text);
  const String& GetAttributeText() const { return attributeText_; }
  // Inserts the pair as given; an existing name keeps its value.
  void AddAttribute(const String& name, const String& value);
  // The value, or empty when absent.
  String GetAttribute(const String& name) const;
  // The i-th pair in name order; empty when out of range.
  String AttributeNameAt(size_t index) const;
  String AttributeValueAt(size_t index) const;
  size_t AttributeCount() const { return attributes_.size(); }
  XMLAttributes GetAttributes() const { return attributes_; }

  // Attaches `child` as the last child. Refuses none, a node that already has a parent, and this
  // node or one of its ancestors (which would make the tree a cycle; the check walks up from this
  // node).
  bool AppendChild(XMLNode* child);
  XMLNode* GetParent() const { return parent_; }
  std::vector<XMLNode*> Children() const { return children_; }
  size_t ChildCount() const { return children_.size(); }
  // The n-th child (from 0) named exactly `name`, or null.
  XMLNode* FindChild(const String& name, size_t n = 0) const;
  std::vector<XMLNode*> ChildrenByName(const String& name) const;

  // Empties the name, attribute text, text and attributes and detaches all children. The comment
  // stays.
  void Clear();

 private:
  void DetachChildren();

  XMLNode* parent_ = nullptr;
  String name_;
  String attributeText_;
  String text_;  // escaped
  String comment_;
  std::vector<XMLNode*> children_;
  XMLAttributes attributes_;
};

// The text of `node` and its subtree, each element on its own line indented by two spaces per
// level from `depth` (at most 50 spaces). No node gives the empty text. Works without recursion,
// so any depth of tree is written.
String SerializeNode(const XMLNode* node, uint32_t depth);

}  // namespace Vadu
