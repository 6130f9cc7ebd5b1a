#include "src/print_line.h"

#include <cstdio>

#include "src/exit_code.h"

namespace Zentu {

namespace {

void AppendEscaped(Vadu::String& out, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  out.Append(text);
}

}  // namespace

Vadu::String Printable(const Vadu::String& text) {
  Vadu::WString decoded;
  const bool utf8 = Vadu::TryFromUtf8(text, &decoded);
  Vadu::String out;
  for (uint32_t k = 0; k < text.Length(); ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (byte == '\\') {
      out.Append("\\\\");
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
      AppendEscaped(out, byte);
    } else if (byte == 0xC2 && k + 1 < text.Length() &&
               static_cast<unsigned char>(text[k + 1]) < 0xA0) {
      // U+0080 to U+009F: the C1 controls, which some terminals obey.
      AppendEscaped(out, byte);
      AppendEscaped(out, static_cast<unsigned char>(text[++k]));
    } else {
      out.Append(text.Data() + k, 1);
    }
  }
  return out;
}

void PrintLine(const Vadu::String& text) {
  std::fwrite(text.CStr(), 1, text.Length(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(const Vadu::String& line) {
  PrintLine(line);
  SetExitCode(kExitError);
}

}  // namespace Zentu
