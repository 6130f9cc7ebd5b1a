// A logger that writes to the process's console in the colour of each level.
#pragma once

#include <memory>

#include "support/console_output.h"
#include "support/logger.h"

namespace Vadu {

class ConsoleLogger : public LoggerImpl {
 public:
  ConsoleLogger();
  ~ConsoleLogger() override;

  // The console is obtained on the first write.
  void Write(int32_t level, const String& text) override;
  void Flush() override {}

 private:
  std::unique_ptr<ConsoleOutput> output_;
};

}  // namespace Vadu
