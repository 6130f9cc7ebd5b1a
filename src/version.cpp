#include "src/version.h"

#include "src/print_line.h"
#include "src/steps/payloads.h"
#include "support/file_system.h"

// Both come from the build configuration; the fallbacks only serve builds made outside it.
#ifndef ZENTU_PROGRAM_VERSION
#define ZENTU_PROGRAM_VERSION "0.0.0"
#endif
#ifndef ZENTU_7ZIP_VERSION
#define ZENTU_7ZIP_VERSION "unknown"
#endif

namespace Zentu {

using Vadu::String;

String ProgramVersionText() { return String(ZENTU_PROGRAM_VERSION); }

String ArchiveToolVersionText() { return String(ZENTU_7ZIP_VERSION); }

std::vector<String> VersionLines(const String& program) {
  return {
      program + " " + ProgramVersionText(),
      String("Build version ") + BuildVersionText(),
      String("7-Zip ") + ArchiveToolVersionText(),
  };
}

void PrintVersion() {
  for (const String& line : VersionLines(Vadu::ToUtf8(Vadu::GetFileName(Vadu::GetModulePath()))))
    PrintLine(line);
}

}  // namespace Zentu
