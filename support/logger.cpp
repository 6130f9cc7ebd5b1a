#include "support/logger.h"

namespace Vadu {

const char* LevelHeader(int32_t level) {
  switch (level) {
    case LogDebug:
      return "[DEBUG]:\r\n";
    case LogInfo:
      return "[INFO]:\r\n";
    case LogWarning:
      return "[WARNING]:\r\n";
    case LogError:
      return "[ERROR]:\r\n";
    case LogCriticalError:
      return "[CRITICAL ERROR]:\r\n";
    default:
      return "";
  }
}

uint16_t LevelAttribute(int32_t level) {
  switch (level) {
    case LogDebug:
      return 15;  // bright white
    case LogInfo:
      return 10;  // bright green
    case LogWarning:
      return 14;  // bright yellow
    case LogError:
      return 13;  // bright magenta
    case LogCriticalError:
      return 12;  // bright red
    default:
      return 0;
  }
}

void* LoggerImpl::QueryInterface(uint64_t id) {
  if (id != kIBaseId && id != ILogger::kInterfaceId) return nullptr;
  AddRef();
  ILogger* logger = this;
  if (id == kIBaseId) return static_cast<IBase*>(logger);
  return logger;
}

}  // namespace Vadu
