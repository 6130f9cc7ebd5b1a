#include "support/xml_parser.h"

#include <string>
#include <string_view>

namespace Vadu {

namespace {

// A name such as "ns:name" loses its prefix when the name is longer than three characters and its
// first colon is neither at the start nor followed by fewer than two characters.
String StripPrefix(const String& name) {
  uint32_t colon = name.Find(':');
  if (name.Length() > 3 && colon != String::npos && colon != 0 && name.Length() - colon > 2)
    return name.Substring(colon + 1);
  return name;
}

}  // namespace

XMLParser::~XMLParser() { Reset(); }

XMLNode* XMLParser::Parse(const String& text, bool stripPrefixes) {
  if (text.IsEmpty()) return &root_;
  String input = StripComments(text);
  Reset();
  input_ = input;
  Tokenise(stripPrefixes);
  if (!tags_.empty()) BuildTree(&root_, 0, static_cast<uint32_t>(tags_.size() - 1), 0);
  return &root_;
}

String XMLParser::Serialize(const XMLNode* node, uint32_t depth) const {
  return SerializeNode(node, depth);
}

String XMLParser::StripComments(const String& text) {
  constexpr std::string_view kOpen = "<!--", kClose = "-->";
  std::string s(text.ToView());
  std::string rest;
  // Nothing before `from` can start a comment marker: the first "<!--" and the first "-->" lie at
  // or after the removed piece, and a removal can only form a new marker across its seam.
  size_t from = 0;
  for (;;) {
    size_t open = s.find(kOpen, from);
    size_t close = s.find(kClose, from);
    if (open == std::string::npos || close == std::string::npos) break;
    if (close + kClose.size() <= open) {
      // A "-->" before the "<!--": the piece runs to the end of the text (an empty piece would
      // never shrink it), and what is left holds no "<!--".
      s.erase(open);
      break;
    }
    // Remove every occurrence of the piece; none can start before `open`.
    std::string piece = s.substr(open, close + kClose.size() - open);
    size_t pos = open + piece.size();
    size_t at = s.find(piece, pos);
    if (at == std::string::npos) {
      s.erase(open, piece.size());
    } else {
      rest.clear();
      for (; at != std::string::npos; at = s.find(piece, pos)) {
        rest.append(s, pos, at - pos);
        pos = at + piece.size();
      }
      rest.append(s, pos, std::string::npos);
      s.resize(open);
      s += rest;
    }
    from = open >= kOpen.size() - 1 ? open - (kOpen.size() - 1) : 0;
  }
  return String(std::string_view(s));
}

void XMLParser::Reset() {
  // The root lets go of its children first, so that destroying the nodes in any order stays
  // linear.
  root_.Clear();
  nodes_.clear();
  tags_.clear();
  input_ = String();
}

// Where the scan is: in text, or in a tag from its "<" (`start`), its name or content from
// `contentStart` (the first character after "<" or "</").
struct XMLParser::TagScan {
  enum class State { Text, NameStart, CloseNameStart, OpenTag, Quoted, CloseTag, AfterTag };
  State state = State::Text;
  uint32_t start = 0;
  uint32_t contentStart = 0;
};

void XMLParser::Tokenise(bool stripPrefixes) {
  TagScan scan;
  for (uint32_t i = 0; i < input_.Length(); ++i) i = ScanCharacter(scan, i, stripPrefixes);
}

uint32_t XMLParser::ScanCharacter(TagScan& scan, uint32_t i, bool stripPrefixes) {
  using State = TagScan::State;
  const char c = input_[i];
  switch (scan.state) {
    case State::AfterTag:
    case State::Text:
      return ScanText(scan, i);
    case State::NameStart:
    case State::CloseNameStart:
      scan.contentStart = i;
      scan.state = scan.state == State::NameStart ? State::OpenTag : State::CloseTag;
      break;
    case State::OpenTag:
      return ScanOpenTag(scan, i, stripPrefixes);
    case State::Quoted:
      if (c == '"') scan.state = State::OpenTag;
      break;
    case State::CloseTag:
      if (c == '>') {
        EmitTag(false, scan, i, stripPrefixes);
        scan.state = State::AfterTag;
      }
      break;
  }
  return i;
}

uint32_t XMLParser::ScanText(TagScan& scan, uint32_t i) const {
  using State = TagScan::State;
  const char next = i + 1 < input_.Length() ? input_[i + 1] : input_[i];
  scan.state = State::Text;
  if (input_[i] != '<' || next == '?' || next == '!') return i;
  scan.start = i;
  if (next != '/') {
    scan.state = State::NameStart;
    return i;
  }
  scan.state = State::CloseNameStart;
  return i + 1;
}

uint32_t XMLParser::ScanOpenTag(TagScan& scan, uint32_t i, bool stripPrefixes) {
  using State = TagScan::State;
  const char c = input_[i];
  if (c == '"') scan.state = State::Quoted;
  if (c != '/' && c != '>') return i;
  EmitTag(true, scan, i, stripPrefixes);
  scan.state = State::AfterTag;
  if (c == '>') return i;
  TagInfo close;  // A self-closing tag is also its own end tag.
  close.opening = false;
  close.start = close.end = i + 1;
  close.name = tags_.back().name;
  tags_.push_back(close);
  return i + 1;  // the character after the "/", normally ">"
}

void XMLParser::EmitTag(bool opening, const TagScan& scan, uint32_t end, bool stripPrefixes) {
  Emit(opening, scan.start, end, input_.Substring(scan.contentStart, end - scan.contentStart),
       stripPrefixes);
}

void XMLParser::Emit(bool opening, uint32_t start, uint32_t end, const String& content,
                     bool stripPrefixes) {
  String trimmed = content.Trim();
  uint32_t space = trimmed.Find(' ');
  TagInfo tag;
  tag.opening = opening;
  tag.start = start;
  tag.end = end;
  tag.name = space == String::npos ? trimmed : trimmed.Substring(0, space);
  if (stripPrefixes) tag.name = StripPrefix(tag.name);
  if (space != String::npos) tag.attributeText = trimmed.Substring(space + 1).Trim();
  tags_.push_back(tag);
}

uint32_t XMLParser::MatchClose(uint32_t a, uint32_t last) const {
  if (tags_.empty()) return 0;
  if (last >= tags_.size()) last = static_cast<uint32_t>(tags_.size() - 1);
  const String& name = tags_[a].name;
  uint32_t depth = 0;
  for (uint32_t i = a + 1; i <= last; ++i) {
    const TagInfo& tag = tags_[i];
    if (!(tag.name == name)) continue;
    if (tag.opening)
      ++depth;
    else if (depth > 0)
      --depth;
    else
      return i;
  }
  return 0;
}

void XMLParser::BuildTree(XMLNode* node, uint32_t first, uint32_t last, uint32_t depth) {
  const TagInfo& head = tags_[first];
  node->SetName(head.name);
  node->SetAttributeText(head.attributeText);
  if (last == first + 1) {
    uint32_t from = head.end + 1, to = tags_[last].start;
    node->SetText(to > from ? input_.Substring(from, to - from) : String());
    return;
  }
  if (first >= last || depth >= kMaxDepth) return;

  auto buildChild = [&](uint32_t childFirst, uint32_t childLast) {
    nodes_.push_back(std::make_unique<XMLNode>());
    XMLNode* child = nodes_.back().get();
    BuildTree(child, childFirst, childLast, depth + 1);
    node->AppendChild(child);
  };
  uint32_t a = MatchClose(first + 1, last - 1);
  if (a == last - 1) {
    buildChild(first + 1, a);
    return;
  }
  for (uint32_t s = first + 1; a != 0; s = a + 1, a = MatchClose(a + 1, last - 1)) buildChild(s, a);
}

}  // namespace Vadu
