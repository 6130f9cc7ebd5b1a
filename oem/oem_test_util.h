// Helpers shared by the tests of the OEM document and its template.
#pragma once

#include <string>
#include <vector>

#include "support/string_base.h"

namespace Zentu::Testing {

inline std::string Str(const Vadu::String& text) { return std::string(text.CStr(), text.Length()); }

// One line-level piece of an "oem_info.xml" text, read without the XML parser: a comment (which
// may span lines), a start tag, an end tag, an empty-element tag, or an element with its text on
// one line.
struct XmlLine {
  enum Kind { kComment, kStart, kEnd, kEmpty, kLeaf, kOther };
  Kind kind = kOther;
  int indent = 0;  // spaces before the piece
  std::string name;
  std::string text;  // comment text, or the raw (escaped) text of a leaf
};

// Splits `text` (everything after the declaration) at its line feeds into pieces; a comment
// continues over the following lines up to its " -->".
inline std::vector<XmlLine> ReadXmlLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (;;) {
    size_t at = text.find('\n', from);
    lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  std::vector<XmlLine> pieces;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    XmlLine piece;
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) {
      pieces.push_back(piece);
      continue;
    }
    piece.indent = static_cast<int>(indent);
    std::string body = line.substr(indent);
    if (body.rfind("<!-- ", 0) == 0) {
      std::string comment = body.substr(5);
      // Continuation lines carry the comment's own indentation after the line feed.
      while (comment.size() < 4 || comment.compare(comment.size() - 4, 4, " -->") != 0) {
        if (++i == lines.size()) return pieces;
        std::string next = lines[i];
        if (next.compare(0, indent, std::string(indent, ' ')) != 0) return pieces;
        comment += "\n" + next.substr(indent);
      }
      piece.kind = XmlLine::kComment;
      piece.text = comment.substr(0, comment.size() - 4);
    } else if (body.rfind("</", 0) == 0 && body.back() == '>') {
      piece.kind = XmlLine::kEnd;
      piece.name = body.substr(2, body.size() - 3);
    } else if (body.size() > 4 && body.compare(body.size() - 3, 3, " />") == 0) {
      piece.kind = XmlLine::kEmpty;
      piece.name = body.substr(1, body.size() - 4);
    } else if (body[0] == '<' && body.back() == '>') {
      size_t close = body.find('>');
      piece.name = body.substr(1, close - 1);
      std::string end = "</" + piece.name + ">";
      if (close + 1 == body.size()) {
        piece.kind = XmlLine::kStart;
      } else if (body.size() >= close + 1 + end.size() &&
                 body.compare(body.size() - end.size(), end.size(), end) == 0) {
        piece.kind = XmlLine::kLeaf;
        piece.text = body.substr(close + 1, body.size() - end.size() - close - 1);
      }
    }
    pieces.push_back(piece);
  }
  return pieces;
}

}  // namespace Zentu::Testing
