#include "support/multi_file_logger.h"

#include "support/date_time.h"
#include "support/file_system.h"

namespace Vadu {

MultiFileLogger::MultiFileLogger(const WString& pattern)
    : file_(MakeSmart<FileLogger>(WString())),
      directory_(GetDirectoryPart(pattern)),
      baseName_(GetFileStem(pattern)),
      extension_(GetExtension(pattern)) {}

void MultiFileLogger::OpenNewFile() {
  WString name = baseName_ + u"_" + FromUtf8(DateTime::NowUtc().Format("%Y-%m-%d_%H.%M.%S"));
  if (!extension_.IsEmpty()) name = name + u"." + extension_;
  // Two new files within one second share a name: the second continues the first.
  file_->SwitchTo(JoinPath(directory_, name));
}

void MultiFileLogger::Write(int32_t level, const String& text) {
  if (!file_->IsOpen() && !directory_.IsEmpty()) OpenNewFile();
  if (text.IsEmpty()) return;
  byteCount_ += text.Length();
  if (byteCount_ > kMaxFileBytes) {
    byteCount_ = 0;
    OpenNewFile();
  }
  file_->Write(level, text);
}

void MultiFileLogger::Flush() { file_->Flush(); }

}  // namespace Vadu
