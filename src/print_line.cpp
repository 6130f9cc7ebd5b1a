#include "src/print_line.h"

#include <cstdio>

#include "src/exit_code.h"
#include "src/log_tags.h"
#include "support/file_system.h"
#include "support/log.h"

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

namespace {

LineCollector* collector = nullptr;

}  // namespace

LineCollector::LineCollector() { collector = this; }

LineCollector::~LineCollector() { collector = nullptr; }

void PrintLine(const Vadu::String& text) {
  if (collector) {
    collector->lines_.push_back(text);
    return;
  }
  std::fwrite(text.CStr(), 1, text.Length(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(const Vadu::String& line) {
  PrintLine(line);
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), line) << "\n";
  SetExitCode(kExitError);
}

Vadu::String ShownPath(const Vadu::WString& path) {
  const Vadu::String separator = Vadu::ToUtf8(Vadu::WString(Vadu::PathSeparator()));
  Vadu::String shown;
  const std::vector<Vadu::String> names = Vadu::ToUtf8(path).Split(separator);
  for (size_t k = 0; k < names.size(); ++k) {
    if (k) shown += separator;
    shown += Printable(names[k]);
  }
  return shown;
}

Vadu::String ShownFullPath(const Vadu::WString& path) {
  return ShownPath(Vadu::IsAbsolutePath(path) || path.IsEmpty()
                       ? path
                       : Vadu::JoinPath(Vadu::GetCurrentDir(), path));
}

void ReportFileError(const Vadu::String& line, const Vadu::WString& path,
                     const Vadu::String& reason) {
  PrintLine(line);
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), line)
      << "\nFile: " << ShownFullPath(path)
      << "\nReason: " << (reason.IsEmpty() ? Vadu::String("unknown") : reason) << "\n";
  SetExitCode(kExitError);
}

}  // namespace Zentu
