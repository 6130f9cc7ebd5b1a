#include "support/xml_wellformed.h"

#include <gtest/gtest.h>

#include <string>

namespace Vadu {
namespace {

struct Broken {
  const char* text;
  uint32_t line;
  uint32_t column;
  const char* message;
};

TEST(WellFormedXml, AcceptsDocumentsAsTheTemplateAndEditorsWriteThem) {
  for (const char* text : {
           "<a/>",
           "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c -->\n<a x='1' y=\"&amp;\">t&lt;&#65;&#x42;"
           "<b/><c>  </c><![CDATA[<not a tag>]]><!-- in --></a>\n<!-- after -->\n",
           "<!DOCTYPE a>\r\n<a:b xmlns:a=\"u\"><a:c/>&nbsp;&rt;</a:b>",
       })
    EXPECT_TRUE(CheckWellFormedXml(text, nullptr)) << text;
}

TEST(WellFormedXml, NamesTheLineAndColumnOfTheFirstProblem) {
  const Broken cases[] = {
      {"", 1, 1, "no root element"},
      {"<oem>\n  <ProductName>Cam</ProductName>\n  <Other>", 3, 10,
       "unexpected end of file in element <Other>"},
      {"<oem>\n  <ProductName>Cam</ProductNam>\n</oem>", 2, 19,
       "end tag </ProductNam> does not match <ProductName>"},
      {"<a>\n<b x=1/></a>", 2, 6, "the value of attribute x is not quoted"},
      {"<a x='1' x='2'/>", 1, 10, "attribute x given twice"},
      {"<a>R&D</a>", 1, 5, "\"&\" that starts no entity (write &amp;)"},
      {"<a>&#xZ1;</a>", 1, 4, "invalid character reference &#xZ1;"},
      {"<a>a & b;</a>", 1, 6, "\"&\" that starts no entity (write &amp;)"},
      {"<a/><b/>", 1, 5, "text after the root element"},
      {"<a><!-- x -- y --></a>", 1, 11, "\"--\" inside a comment"},
      {"<a>< b/></a>", 1, 5, "invalid character ' ' at the start of a name"},
      {"<a><!-- open", 1, 13, "unexpected end of file in a comment"},
      {"<a x='1", 1, 8, "unexpected end of file in an attribute value"},
      {"<a>x &am", 1, 9, "unexpected end of file in a reference"},
  };
  for (const Broken& broken : cases) {
    XmlProblem problem;
    EXPECT_FALSE(CheckWellFormedXml(broken.text, &problem)) << broken.text;
    EXPECT_EQ(problem.line, broken.line) << broken.text;
    EXPECT_EQ(problem.column, broken.column) << broken.text;
    EXPECT_EQ(std::string(problem.message.CStr()), broken.message) << broken.text;
  }
}

TEST(WellFormedXml, DeepNestingNeedsNoDeepStack) {
  std::string text;
  for (int k = 0; k < 200000; ++k) text += "<a>";
  for (int k = 0; k < 200000; ++k) text += "</a>";
  EXPECT_TRUE(CheckWellFormedXml(String(text.c_str()), nullptr));
}

}  // namespace
}  // namespace Vadu
