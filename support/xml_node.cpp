#include "support/xml_node.h"

#include <algorithm>
#include <string>

namespace Vadu {

namespace {

// The entity table: a character and its reference. ">" has the system's own "&rt;".
struct Entity {
  const char* character;
  const char* reference;
};
constexpr Entity kAmp{"&", "&amp;"};
constexpr Entity kLt{"<", "&lt;"};
constexpr Entity kGt{">", "&rt;"};
constexpr Entity kApos{"'", "&apos;"};
constexpr Entity kQuot{"\"", "&quot;"};

// Longest indentation written, in spaces.
constexpr uint32_t kMaxIndent = 50;

String Indent(uint32_t depth) {
  uint32_t spaces = depth >= kMaxIndent / 2 ? kMaxIndent : 2 * depth;
  return String("\n").Append(String().PadLeft(spaces, ' '));
}

}  // namespace

String EscapeText(const String& text, bool encode) {
  String result = text;
  if (encode) {
    if (!result.Contains(kAmp.reference))
      result = result.ReplaceAll(kAmp.character, kAmp.reference);
    for (const Entity& e : {kLt, kGt, kApos, kQuot})
      result = result.ReplaceAll(e.character, e.reference);
  } else {
    for (const Entity& e : {kAmp, kApos, kQuot, kLt, kGt})
      result = result.ReplaceAll(e.reference, e.character);
  }
  return result;
}

XMLAttributes ParseAttributes(const String& text) {
  std::vector<String> values;
  std::vector<uint32_t> regionStarts{0};  // where each name region begins
  std::vector<uint32_t> equals;
  uint32_t n = text.Length();
  for (uint32_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      uint32_t close = text.Find(c, i + 1);
      if (close == String::npos) return {};
      values.push_back(text.Substring(i + 1, close - i - 1));
      regionStarts.push_back(close + 1);
      i = close;
    } else if (c == '=') {
      equals.push_back(i);
    }
  }
  XMLAttributes attributes;
  if (equals.size() != values.size()) return attributes;
  for (size_t k = 0; k < equals.size(); ++k) {
    uint32_t from = regionStarts[k];
    if (from >= equals[k]) continue;
    String name = text.Substring(from, equals[k] - from).Trim();
    if (name.IsEmpty()) continue;
    attributes[name] = values[k];
  }
  return attributes;
}

XMLNode::~XMLNode() {
  DetachChildren();
  if (parent_) {
    std::vector<XMLNode*>& siblings = parent_->children_;
    auto it = std::find(siblings.rbegin(), siblings.rend(), this);
    if (it != siblings.rend()) siblings.erase(std::next(it).base());
  }
}

void XMLNode::SetAttributeText(const String& text) {
  attributeText_ = text;
  attributes_ = ParseAttributes(text);
  for (auto& [name, value] : attributes_) value = EscapeText(value, /*encode=*/false);
}

void XMLNode::AddAttribute(const String& name, const String& value) {
  attributes_.emplace(name, value);
}

String XMLNode::GetAttribute(const String& name) const {
  auto it = attributes_.find(name);
  return it == attributes_.end() ? String() : it->second;
}

String XMLNode::AttributeNameAt(size_t index) const {
  if (index >= attributes_.size()) return String();
  return std::next(attributes_.begin(), static_cast<std::ptrdiff_t>(index))->first;
}

String XMLNode::AttributeValueAt(size_t index) const {
  if (index >= attributes_.size()) return String();
  return std::next(attributes_.begin(), static_cast<std::ptrdiff_t>(index))->second;
}

bool XMLNode::AppendChild(XMLNode* child) {
  if (!child || child->parent_) return false;
  for (const XMLNode* n = this; n; n = n->parent_)
    if (n == child) return false;
  child->parent_ = this;
  children_.push_back(child);
  return true;
}

XMLNode* XMLNode::FindChild(const String& name, size_t n) const {
  for (XMLNode* child : children_)
    if (child->name_ == name && n-- == 0) return child;
  return nullptr;
}

std::vector<XMLNode*> XMLNode::ChildrenByName(const String& name) const {
  std::vector<XMLNode*> found;
  for (XMLNode* child : children_)
    if (child->name_ == name) found.push_back(child);
  return found;
}

void XMLNode::Clear() {
  name_ = String();
  attributeText_ = String();
  text_ = String();
  attributes_.clear();
  DetachChildren();
}

void XMLNode::DetachChildren() {
  for (XMLNode* child : children_) child->parent_ = nullptr;
  children_.clear();
}

namespace {

// Writes a node and its subtree as text, depth first with a stack of its own (a deep tree must
// not exhaust the call stack). Built in a growable buffer: the text of a large tree is appended to
// many times.
class NodeWriter {
 public:
  String Write(const XMLNode* node, uint32_t depth) {
    if (Open(node, depth)) stack_.push_back({node, depth, node->Children(), 0});
    while (!stack_.empty()) WriteNextOfTop();
    return String(std::string_view(out_));
  }

 private:
  // A node whose end tag is still to come, and the next of its children to write.
  struct Frame {
    const XMLNode* node;
    uint32_t depth;
    std::vector<XMLNode*> children;
    size_t next;
  };

  // Opens the next child of the innermost open node, or closes that node after its last one.
  void WriteNextOfTop() {
    Frame& top = stack_.back();
    if (top.next < top.children.size()) {
      const XMLNode* child = top.children[top.next++];
      const uint32_t level = top.depth == UINT32_MAX ? top.depth : top.depth + 1;
      if (Open(child, level)) stack_.push_back({child, level, child->Children(), 0});
      return;
    }
    Put(Indent(top.depth));
    WriteEndTag(top.node);
    stack_.pop_back();
  }

  // Writes everything of `n` up to its children; true when its end tag is still to come.
  bool Open(const XMLNode* n, uint32_t level) {
    const String indent = Indent(level);
    WriteComment(n, indent);
    Put(indent);
    WriteStartTag(n);
    const String text = n->GetText(/*decode=*/false);
    if (text.IsEmpty() && n->ChildCount() == 0) {
      out_ += " />";
      return false;
    }
    out_ += '>';
    Put(text);
    if (n->ChildCount() != 0) return true;
    WriteEndTag(n);
    return false;
  }

  void WriteComment(const XMLNode* n, const String& indent) {
    if (n->GetComment().IsEmpty()) return;
    Put(indent);
    out_ += "<!-- ";
    Put(n->GetComment().ReplaceAll("\n", indent));
    out_ += " -->";
  }

  // "<" with the name and the attributes, without the closing ">".
  void WriteStartTag(const XMLNode* n) {
    out_ += '<';
    Put(n->GetName());
    for (const auto& [name, value] : n->GetAttributes()) {
      out_ += ' ';
      Put(name);
      out_ += "=\"";
      Put(EscapeText(value, /*encode=*/true));
      out_ += '"';
    }
  }

  void WriteEndTag(const XMLNode* n) {
    out_ += "</";
    Put(n->GetName());
    out_ += '>';
  }

  void Put(const String& s) { out_.append(s.ToView()); }

  std::string out_;
  std::vector<Frame> stack_;
};

}  // namespace

String SerializeNode(const XMLNode* node, uint32_t depth) {
  if (!node) return String();
  return NodeWriter().Write(node, depth);
}

}  // namespace Vadu
