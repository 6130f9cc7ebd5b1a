#include "src/log_tags.h"

#include "support/log.h"

namespace Zentu {

void AttachLogFiles() {
  Vadu::SetLogger(kFrontEndLogTag, Vadu::FileLoggerKind, Vadu::ModuleLogPath(u".main.log"));
  Vadu::SetLogger(kArchiveLogTag, Vadu::FileLoggerKind, Vadu::ModuleLogPath(u".7zip.log"));
}

}  // namespace Zentu
