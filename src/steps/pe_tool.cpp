#include "src/steps/pe_tool.h"

#include <chrono>

#include "oem/resource_block.h"
#include "src/steps/payloads.h"
#include "src/steps/run_folder.h"
#include "src/steps/stored_blocks.h"
#include "support/file_mode.h"
#include "support/file_system.h"
#include "support/process.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// A PE tool edits one executable in memory: one that runs this long is stuck.
constexpr std::chrono::minutes kPeToolTimeLimit{10};

}  // namespace

std::vector<PeTool> CarriedPeTools() {
  std::vector<PeTool> tools;
  for (const String& name : ToolPayloadNames(StoredKind::kIconTool))
    tools.push_back({name, ToolPayloadContent(name)});
  return tools;
}

PeToolResult RunPeTools(const std::vector<PeTool>& tools, const std::vector<WString>& arguments,
                        const PeToolJudge& judge) {
  const WString folder = RunFolder();
  PeToolResult result = PeToolResult::kFailed;
  for (size_t i = 0; i < tools.size() && result == PeToolResult::kFailed; ++i) {
    // Made afresh in the run's own folder: nothing found on disk is ever run.
    const WString file =
        folder.IsEmpty() ? WString() : Vadu::JoinPath(folder, Vadu::FromUtf8(tools[i].name));
    const bool written =
        !file.IsEmpty() && Vadu::WriteNewFile(tools[i].content, file) && Vadu::SetExecutable(file);
    if (written) {
      const Vadu::RunOutcome outcome =
          Vadu::RunProgram(file, arguments, /*hidden=*/false, kPeToolTimeLimit);
      result = judge(file, outcome.started ? outcome.exitCode : -1);
    } else {
      result = PeToolResult::kNotRun;
    }
    Vadu::RemoveFile(file);
  }
  return result;
}

bool StripExecutable(const WString& executable) {
  const int64_t size = Vadu::FileSizeOf(executable);
  return size > 0 && size < int64_t{String::npos} && StripBlockFromFile(executable);
}

String ReadExecutable(const WString& executable) {
  String bytes;
  return Vadu::ReadWholeFile(executable, &bytes) ? bytes : String();
}

}  // namespace Zentu
