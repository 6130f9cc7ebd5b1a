// For tests: points the environment variable TEMP at a fresh private folder while the object
// lives, then puts the old value back. The run folder of this process is made anew inside it.
#pragma once

#include "src/steps/run_folder.h"
#include "support/environment.h"
#include "support/test_util.h"

namespace Zentu::Testing {

class ScopedTempEnvironment {
 public:
  ScopedTempEnvironment() : old_(Vadu::GetEnvironmentValue(u"TEMP")) {
    Vadu::SetEnvironmentValue(u"TEMP", Vadu::Testing::Wide(folder_.Path()));
    RemoveRunFolder();
  }
  ~ScopedTempEnvironment() {
    RemoveRunFolder();
    Vadu::SetEnvironmentValue(u"TEMP", old_);
  }
  ScopedTempEnvironment(const ScopedTempEnvironment&) = delete;
  ScopedTempEnvironment& operator=(const ScopedTempEnvironment&) = delete;

  const Vadu::Testing::TempFolder& Folder() const { return folder_; }

 private:
  Vadu::Testing::TempFolder folder_;
  Vadu::WString old_;
};

}  // namespace Zentu::Testing
