#include "tests/test_sandbox.h"

#include <future>

#include "support/environment.h"
#include "support/process.h"

namespace Zentu::Testing {

namespace fs = std::filesystem;

std::string UtilitySandbox::DefaultName() {
  return fs::u8path(ZENTU_UTILITY_PATH).filename().string();
}

UtilitySandbox::UtilitySandbox(const std::string& executableName) : name_(executableName) {
  fs::copy_file(fs::u8path(ZENTU_UTILITY_PATH), Executable());
}

UtilitySandbox::~UtilitySandbox() = default;

UtilityRun UtilitySandbox::Run(const std::string& parameters, bool withStderr) const {
  // The child inherits TEMP; this process gets its own value back afterwards.
  const Vadu::WString savedTemp = Vadu::GetEnvironmentValue(u"TEMP");
  Vadu::SetEnvironmentValue(u"TEMP", Vadu::Testing::Wide(temp_.Path()));
  Vadu::CommandResult result = Vadu::RunProgramCaptured(
      Vadu::Testing::Wide(Executable()), Vadu::FromUtf8(Vadu::String(parameters.c_str())),
      withStderr ? Vadu::StderrRedirect::ToOutput : Vadu::StderrRedirect::ToNull);
  Vadu::SetEnvironmentValue(u"TEMP", savedTemp);
  UtilityRun run;
  run.exitCode = result.exitCode;
  Vadu::String output = Vadu::ToUtf8(result.output);
  run.output.assign(output.CStr(), output.Length());
  return run;
}

std::vector<UtilityRun> UtilitySandbox::RunTogether(
    const std::vector<std::string>& parameterSets) const {
  // TEMP is set once for all: the runs start from threads of this process.
  const Vadu::WString savedTemp = Vadu::GetEnvironmentValue(u"TEMP");
  Vadu::SetEnvironmentValue(u"TEMP", Vadu::Testing::Wide(temp_.Path()));
  std::vector<std::future<Vadu::CommandResult>> started;
  for (const std::string& parameters : parameterSets)
    started.push_back(std::async(std::launch::async, [this, parameters] {
      return Vadu::RunProgramCaptured(Vadu::Testing::Wide(Executable()),
                                      Vadu::FromUtf8(Vadu::String(parameters.c_str())),
                                      Vadu::StderrRedirect::ToNull);
    }));
  std::vector<UtilityRun> runs;
  for (std::future<Vadu::CommandResult>& result : started) {
    const Vadu::CommandResult done = result.get();
    UtilityRun run;
    run.exitCode = done.exitCode;
    const Vadu::String output = Vadu::ToUtf8(done.output);
    run.output.assign(output.CStr(), output.Length());
    runs.push_back(run);
  }
  Vadu::SetEnvironmentValue(u"TEMP", savedTemp);
  return runs;
}

std::string UtilitySandbox::ReadBeside(const std::string& name) const {
  return Vadu::Testing::ReadFileBytes(Folder() / fs::u8path(name));
}

}  // namespace Zentu::Testing
