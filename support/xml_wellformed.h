// A strict check that a text is well-formed XML, for telling a user where a hand-edited file is
// broken. The document parser (xml_parser.h) is lenient and reads what it can; this check names
// the first place where the text stops being XML.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

// Where and why a text is not well-formed.
struct XmlProblem {
  uint32_t line = 0;    // from 1
  uint32_t column = 0;  // from 1, in bytes
  String message;       // what was found there, in a few words
};

// True when `text` is one well-formed XML document: an optional declaration, comments,
// processing instructions and a document type declaration around exactly one root element;
// matching start and end tags; quoted attribute values, each attribute once; entity and
// character references; no "<" or a lone "&" in text; CDATA sections. A named entity beyond the
// five predefined ones is accepted as a document type may declare it (the stock template writes
// "&rt;"), so that what -getxml writes passes. Otherwise
// false with the first problem (an unexpected end of the text is reported at its end).
bool CheckWellFormedXml(const String& text, XmlProblem* problem);

}  // namespace Vadu
