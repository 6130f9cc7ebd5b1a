// The entry point of zentu-rebrand: announces the start, clears what killed runs left, parses the
// command line, records it, runs exactly one command, removes the run's working folder and
// records the outcome.
#include "oem/own_oem_information.h"
#include "src/dispatch.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/steps/run_folder.h"
#include "support/command_line_options.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/termination.h"

int main(int argc, char** argv) {
  // Interrupted or ended by the system: the run's children end, and its working folder and the
  // replacements it was writing beside its targets go.
  Vadu::InstallTerminationCleanup([] {
    Vadu::RemoveUnfinishedReplacements();
    Zentu::RemoveRunFolder();
  });
  Zentu::AttachLogFiles();
  Zentu::LoadOwnOemInformation();
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogInfo, Zentu::kFrontEndLogTag),
                  "Start customization utility\n");
  Zentu::RemoveLeftoversOfKilledRuns();

  Vadu::CommandLineOptions options;
  options.SetDefinitions(Zentu::FrontEndOptionDefinitions());
  options.Parse(argc, argv);
  Zentu::LogRunStart(options.JoinedLine());
  Zentu::DispatchCommand(options);
  Zentu::RemoveRunFolder();
  Zentu::LogRunOutcome(Zentu::ExitCode());
  // Not a return: a signal taken meanwhile is cleaned up before any static object goes.
  Vadu::EndProcess(Zentu::ExitCode());
}
