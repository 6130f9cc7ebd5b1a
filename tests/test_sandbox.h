// Runs the built utility for the command-line tests: each test copies the executable into its own
// temporary folder (the utility writes its logs and outputs beside itself) and points TEMP at a
// private folder.
#pragma once

#include <string>
#include <vector>

#include "support/test_util.h"

namespace Zentu::Testing {

struct UtilityRun {
  int exitCode = -1;
  std::string output;  // standard output, UTF-8
};

class UtilitySandbox {
 public:
  // Copies the utility into a fresh folder under the given file name.
  explicit UtilitySandbox(const std::string& executableName = DefaultName());
  ~UtilitySandbox();

  static std::string DefaultName();

  // Runs the utility with the parameter text (Windows command-line rules) and TEMP set to Temp().
  // The output holds standard error too, unless `withStderr` is false (the tools the utility runs
  // may write there).
  UtilityRun Run(const std::string& parameters, bool withStderr = true) const;
  // Runs the utility once for each parameter text, all at the same time, with standard output
  // alone; the results in the same order.
  std::vector<UtilityRun> RunTogether(const std::vector<std::string>& parameterSets) const;

  const std::filesystem::path& Folder() const { return folder_.Path(); }
  std::filesystem::path Executable() const { return folder_.Path() / name_; }
  const std::filesystem::path& Temp() const { return temp_.Path(); }
  std::string ReadBeside(const std::string& name) const;

 private:
  Vadu::Testing::TempFolder folder_;
  Vadu::Testing::TempFolder temp_;
  std::string name_;
};

}  // namespace Zentu::Testing
