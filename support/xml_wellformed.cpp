#include "support/xml_wellformed.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Vadu {

namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool IsEntityName(const std::string& name) {
  if (name.empty() || !IsNameStart(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!IsNameChar(static_cast<unsigned char>(c))) return false;
  return true;
}
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A cursor over the text that fails with the first problem it meets.
class Checker {
 public:
  explicit Checker(std::string_view text) : text_(text) {}

  bool Document() {
    if (Peek("\xEF\xBB\xBF")) at_ += 3;  // a byte-order mark
    Misc();
    if (Failed()) return false;
    if (AtEnd()) return Fail("no root element");
    if (!Peek("<") || Peek("</")) return Fail("expected the root element");
    Element();
    if (Failed()) return false;
    Misc();
    if (Failed()) return false;
    if (!AtEnd()) return Fail("text after the root element");
    return true;
  }

  XmlProblem Problem() const {
    XmlProblem problem;
    problem.line = 1;
    problem.column = 1;
    for (size_t k = 0; k < failedAt_ && k < text_.size(); ++k) {
      if (text_[k] == '\n') {
        ++problem.line;
        problem.column = 1;
      } else {
        ++problem.column;
      }
    }
    problem.message = String(message_.c_str());
    return problem;
  }

 private:
  bool AtEnd() const { return at_ >= text_.size(); }
  bool Failed() const { return !message_.empty(); }
  bool Peek(std::string_view what) const { return text_.substr(at_, what.size()) == what; }
  bool Fail(const std::string& message) {
    if (!Failed()) {
      message_ = message;
      failedAt_ = at_;
    }
    return false;
  }
  bool FailAtEnd(const std::string& what) {
    at_ = text_.size();
    return Fail("unexpected end of file in " + what);
  }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(text_[at_])) ++at_;
  }
  // Moves past the next `end`; fails at the end of the text without it.
  bool SkipPast(std::string_view end, const std::string& what) {
    const size_t found = text_.find(end, at_);
    if (found == std::string_view::npos) return FailAtEnd(what);
    at_ = found + end.size();
    return true;
  }

  // Comments, processing instructions, the declaration, a document type and blanks between
  // the top-level parts.
  void Misc() {
    while (!Failed()) {
      SkipSpace();
      if (Peek("<!--")) {
        Comment();
      } else if (Peek("<?")) {
        SkipPast("?>", "a processing instruction");
      } else if (Peek("<!DOCTYPE")) {
        SkipPast(">", "the document type");
      } else {
        return;
      }
    }
  }
  void Comment() {
    at_ += 4;
    const size_t end = text_.find("--", at_);
    if (end == std::string_view::npos) {
      FailAtEnd("a comment");
      return;
    }
    at_ = end;
    if (!Peek("-->")) {
      Fail("\"--\" inside a comment");
      return;
    }
    at_ += 3;
  }

  std::string Name() {
    const size_t start = at_;
    if (AtEnd()) {
      FailAtEnd("a tag");
      return std::string();
    }
    if (!IsNameStart(static_cast<unsigned char>(text_[at_]))) {
      Fail(std::string("invalid character '") + text_[at_] + "' at the start of a name");
      return std::string();
    }
    while (!AtEnd() && IsNameChar(static_cast<unsigned char>(text_[at_]))) ++at_;
    return std::string(text_.substr(start, at_ - start));
  }

  // "&" ... ";" in text or an attribute value, with the cursor on the "&".
  void Reference() {
    const size_t start = at_++;
    size_t nameEnd = at_;
    while (nameEnd < text_.size() &&
           (IsNameChar(static_cast<unsigned char>(text_[nameEnd])) || text_[nameEnd] == '#'))
      ++nameEnd;
    if (nameEnd == text_.size()) {
      FailAtEnd("a reference");
      return;
    }
    const size_t end = text_[nameEnd] == ';' ? nameEnd : std::string_view::npos;
    if (end == std::string_view::npos) {
      at_ = start;
      Fail("\"&\" that starts no entity (write &amp;)");
      return;
    }
    const std::string name(text_.substr(at_, end - at_));
    if (!name.empty() && name[0] == '#') {
      const bool hex = name.size() > 1 && name[1] == 'x';
      const std::string digits = name.substr(hex ? 2 : 1);
      if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                         : "0123456789") != std::string::npos) {
        at_ = start;
        Fail("invalid character reference &" + name + ";");
        return;
      }
    } else if (!IsEntityName(name)) {
      at_ = start;
      Fail("\"&\" that starts no entity (write &amp;)");
      return;
    }
    at_ = end + 1;
  }

  void Attributes(std::set<std::string>& seen) {
    while (!Failed()) {
      const size_t before = at_;
      SkipSpace();
      if (AtEnd()) {
        FailAtEnd("a tag");
        return;
      }
      if (Peek(">") || Peek("/>")) return;
      if (at_ == before) {
        Fail("expected a blank before an attribute");
        return;
      }
      const size_t nameStart = at_;
      const std::string name = Name();
      if (Failed()) return;
      if (!seen.insert(name).second) {
        at_ = nameStart;
        Fail("attribute " + name + " given twice");
        return;
      }
      SkipSpace();
      if (!Peek("=")) {
        Fail("expected \"=\" after attribute " + name);
        return;
      }
      ++at_;
      SkipSpace();
      if (AtEnd()) {
        FailAtEnd("a tag");
        return;
      }
      const char quote = text_[at_];
      if (quote != '"' && quote != '\'') {
        Fail("the value of attribute " + name + " is not quoted");
        return;
      }
      ++at_;
      while (!Failed()) {
        if (AtEnd()) {
          FailAtEnd("an attribute value");
          return;
        }
        const char c = text_[at_];
        if (c == quote) break;
        if (c == '<') {
          Fail("\"<\" inside an attribute value");
          return;
        }
        if (c == '&') {
          Reference();
        } else {
          ++at_;
        }
      }
      ++at_;
    }
  }

  // One element with everything inside it; the cursor is on its "<". Nested elements are kept on
  // a stack of names, not by recursion, so that deep nesting costs no native stack.
  void Element() {
    std::vector<std::string> open;
    do {
      if (Peek("</")) {
        const size_t tagStart = at_;
        at_ += 2;
        const std::string name = Name();
        if (Failed()) return;
        if (name != open.back()) {
          at_ = tagStart;
          Fail("end tag </" + name + "> does not match <" + open.back() + ">");
          return;
        }
        SkipSpace();
        if (AtEnd()) {
          FailAtEnd("a tag");
          return;
        }
        if (!Peek(">")) {
          Fail("expected \">\" to close </" + name + ">");
          return;
        }
        ++at_;
        open.pop_back();
      } else if (Peek("<!--")) {
        Comment();
      } else if (Peek("<![CDATA[")) {
        SkipPast("]]>", "a CDATA section");
      } else if (Peek("<?")) {
        SkipPast("?>", "a processing instruction");
      } else if (Peek("<")) {
        ++at_;
        const std::string name = Name();
        if (Failed()) return;
        std::set<std::string> seen;
        Attributes(seen);
        if (Failed()) return;
        if (Peek("/>")) {
          at_ += 2;
        } else {
          ++at_;
          open.push_back(name);
        }
      } else {
        Text();
      }
      if (Failed()) return;
      if (!open.empty() && AtEnd()) {
        FailAtEnd("element <" + open.back() + ">");
        return;
      }
    } while (!open.empty());
  }

  void Text() {
    while (!AtEnd() && !Failed() && text_[at_] != '<') {
      if (text_[at_] == '&') {
        Reference();
      } else if (Peek("]]>")) {
        Fail("\"]]>\" in text");
      } else {
        ++at_;
      }
    }
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string message_;
  size_t failedAt_ = 0;
};

}  // namespace

bool CheckWellFormedXml(const String& text, XmlProblem* problem) {
  Checker checker(std::string_view(text.CStr(), text.Length()));
  if (checker.Document()) return true;
  if (problem) *problem = checker.Problem();
  return false;
}

}  // namespace Vadu
