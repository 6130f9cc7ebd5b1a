#include "support/console_logger.h"

namespace Vadu {

ConsoleLogger::ConsoleLogger() = default;

ConsoleLogger::~ConsoleLogger() = default;

void ConsoleLogger::Write(int32_t level, const String& text) {
  if (!output_) output_ = std::make_unique<ConsoleOutput>();
  if (text.IsEmpty()) return;
  output_->Write(LevelAttribute(level), text);
}

}  // namespace Vadu
