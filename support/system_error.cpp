#include "support/system_error.h"

#include "support/file_system.h"
#include "support/file_system_platform.h"

namespace Vadu {

String LastSystemErrorText() { return SystemErrorText(LastSystemErrorCode()); }

bool RecordSystemFailure(String* why) {
  if (why->IsEmpty()) *why = LastSystemErrorText();
  return false;
}

String WhyUnreadable(const WString& path) {
  if (DirectoryExists(path)) return "it is a folder";
  const Platform::FileHandle file =
      Platform::OpenFile(NormalizePath(path), Platform::OpenMode::kRead);
  if (file == Platform::kNoFile) return LastSystemErrorText();
  const bool regular = Platform::IsRegularFile(file);
  Platform::CloseFile(file);
  return regular ? String() : String("it is not a regular file");
}

}  // namespace Vadu
