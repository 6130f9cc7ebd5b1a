#include "src/program_layout.h"

#include "support/file_system.h"

namespace Zentu {

using Vadu::WString;

bool IsInstalledLayout(const WString& programPath) {
  const WString program = Vadu::NormalizePath(programPath);
  const WString folder = Vadu::GetDirectoryPart(program);
  if (folder.Length() < 2) return false;
  const WString bin = folder.Substring(0, folder.Length() - 1);  // without the separator
  if (Vadu::GetFileName(bin) != u"bin") return false;
  const WString prefix = Vadu::GetDirectoryPart(bin);
  return !prefix.IsEmpty() &&
         Vadu::DirectoryExists(Vadu::JoinPath(prefix, u"share/doc/zentu-rebrand"));
}

bool IsInstalledProgram() {
  static const bool installed = IsInstalledLayout(Vadu::GetModulePath());
  return installed;
}

WString DefaultOutputFolder() {
  return IsInstalledProgram() ? Vadu::GetCurrentDir() : Vadu::GetModuleDirectory();
}

}  // namespace Zentu
