#include "support/pipe_console.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/new_console_logger.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

// A receiving program: a shell script, started with the console argument.
std::string WriteScript(const TempFolder& folder, const std::string& body) {
  std::string path = folder / "receiver.sh";
  WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

// Waits up to five seconds for a file to hold `expected`.
bool WaitForContent(const std::string& path, const std::string& expected) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadFileBytes(path) == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(PipeConsole, ChildReceivesTheFramesOnItsStandardInput) {
  TempFolder folder;
  std::string received = folder / "received";
  std::string arguments = folder / "arguments";
  std::string script =
      WriteScript(folder, "echo \"$@\" > '" + arguments + "'\nexec cat > '" + received + "'");
  auto logger = MakeSmart<NewConsoleLogger>(u"Title", Wide(script));
  logger->Write(LogInfo, "");
  EXPECT_TRUE(logger->IsConnected());
  logger->Write(LogInfo, "abc");
  logger->Write(LogError, "de\r\n");
  EXPECT_TRUE(WaitForContent(received, "100003abc300004de\r\n"));
  EXPECT_EQ(ReadFileBytes(arguments), "-vadu_log_new_console_logger_arg\n");
}

TEST(PipeConsole, ChildThatHasGoneEndsTheOutputWithoutHarm) {
  TempFolder folder;
  std::string script = WriteScript(folder, "exit 0");
  auto logger = MakeSmart<NewConsoleLogger>(u"Title", Wide(script));
  logger->Write(LogInfo, "first");
  // Once the child has exited the pipe breaks; this process must not die of SIGPIPE.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (logger->IsConnected() && std::chrono::steady_clock::now() < deadline) {
    logger->Write(LogInfo, "more");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(logger->IsConnected());
  logger->Write(LogInfo, "dropped");
}

}  // namespace
}  // namespace Vadu
