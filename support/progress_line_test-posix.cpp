#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "support/progress_line.h"

namespace Vadu {
namespace {

// Points standard error at another descriptor for the object's lifetime.
class RedirectedStandardError {
 public:
  explicit RedirectedStandardError(int fd) : saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    dup2(fd, STDERR_FILENO);
  }
  ~RedirectedStandardError() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

// Everything readable from the descriptor now.
std::string Drain(int fd) {
  std::string text;
  char buffer[256];
  pollfd ready{fd, POLLIN, 0};
  while (poll(&ready, 1, 100) == 1 && (ready.revents & POLLIN)) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

TEST(ProgressLine, ShownAndBlankedOutOnATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    GTEST_SKIP() << "no pseudo-terminal here";
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  {
    RedirectedStandardError redirected(terminal);
    EXPECT_TRUE(StandardErrorIsTerminal());
    ProgressLine line("Unpacking zentu.tgz");
  }
  EXPECT_EQ(Drain(master), "\rUnpacking zentu.tgz...\r                      \r");
  close(terminal);
  close(master);
}

TEST(ProgressLine, NothingWhenStandardErrorIsAPipe) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  {
    RedirectedStandardError redirected(pipeEnds[1]);
    EXPECT_FALSE(StandardErrorIsTerminal());
    ProgressLine line("Unpacking zentu.tgz");
  }
  close(pipeEnds[1]);
  EXPECT_EQ(Drain(pipeEnds[0]), "");
  close(pipeEnds[0]);
}

}  // namespace
}  // namespace Vadu
