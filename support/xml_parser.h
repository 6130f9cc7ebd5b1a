// A tolerant, position-based XML parser for small configuration files: comments are removed, tags
// are found by a character state machine, start and end tags are matched by name, and only leaf
// elements get text. It never reports an error; malformed input gives whatever tree the rules
// produce. Processing instructions, declarations and CDATA sections are not tags.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "support/string_base.h"
#include "support/xml_node.h"

namespace Vadu {

// One start or end tag found in the input.
class TagInfo {
 public:
  TagInfo() = default;
  TagInfo(const TagInfo&) = default;
  TagInfo& operator=(const TagInfo&) = default;
  virtual ~TagInfo() = default;

  bool opening = false;  // a start tag
  uint32_t start = 0;    // index of the "<" that begins the tag
  uint32_t end = 0;      // index of its ">" (of the "/" for a self-closing tag)
  String name;
  String attributeText;  // the text after the name
};

class XMLParser {
 public:
  // Elements nested deeper than this below the root are not built: the element at this depth
  // keeps its name, attributes and leaf text but gets no children. It bounds the recursion and
  // the work of matching tags on hostile input.
  static constexpr uint32_t kMaxDepth = 256;

  XMLParser() = default;
  virtual ~XMLParser();
  XMLParser(const XMLParser&) = delete;
  XMLParser& operator=(const XMLParser&) = delete;

  // Parses `text` and returns the root element, which stays valid until the next parse or the
  // parser's destruction (never null). An empty text leaves the previous result in place. With
  // `stripPrefixes`, a namespace prefix such as "ns:" is removed from tag names.
  XMLNode* Parse(const String& text, bool stripPrefixes = false);

  // The text of `node` and its subtree (see SerializeNode); the caller adds any declaration.
  String Serialize(const XMLNode* node, uint32_t depth = 0) const;

  // The tags of the last parse, in document order, and its input after comment removal.
  const std::vector<TagInfo>& Tags() const { return tags_; }
  const String& Input() const { return input_; }

  // Removes comments: repeatedly takes the piece from the first "<!--" to the end of the first
  // "-->" and removes every occurrence of it. A "-->" that comes before the first "<!--" makes the
  // piece run to the end of the text.
  static String StripComments(const String& text);

 private:
  void Reset();
  // Finds the tags of input_ with a character state machine and emits each.
  void Tokenise(bool stripPrefixes);
  struct TagScan;
  // The steps of Tokenise: each reads the character at `i` in the scan's state and returns the
  // index of the last character it consumed.
  uint32_t ScanCharacter(TagScan& scan, uint32_t i, bool stripPrefixes);
  uint32_t ScanText(TagScan& scan, uint32_t i) const;
  uint32_t ScanOpenTag(TagScan& scan, uint32_t i, bool stripPrefixes);
  // Emits the tag `scan` is in, which ends at `end`.
  void EmitTag(bool opening, const TagScan& scan, uint32_t end, bool stripPrefixes);
  void Emit(bool opening, uint32_t start, uint32_t end, const String& content, bool stripPrefixes);
  // Index of the end tag that closes tag `a`, searching up to tag `last`; 0 when there is none.
  uint32_t MatchClose(uint32_t a, uint32_t last) const;
  void BuildTree(XMLNode* node, uint32_t first, uint32_t last, uint32_t depth);

  String input_;
  std::vector<TagInfo> tags_;
  std::vector<std::unique_ptr<XMLNode>> nodes_;  // every node built below the root
  XMLNode root_;
};

}  // namespace Vadu
