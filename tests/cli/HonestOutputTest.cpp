// What the command line prints can be trusted: a cell from a list file cannot forge fields or drive
// the terminal, and output that never arrived is no success.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/CliHarness.h"

namespace quarvo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(HonestOutput, ControlBytesInListCellsAreShownAsEscapes) {
  testing::CliHarness h;
  h.probe->Answer("10.0.0.1", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  // A planted row: tabs and a window-title and colour sequence in its MAC field, a backslash and
  // a bell in its IP field.
  h.files.files["l.txt"] =
      "9\t10\\0\a\tAA\tBB\x1b]0;owned\a\x1b[31m\t\x7f\r\n"
      "1\t10.0.0.1\t00-1A-2B-3C-4D-5E\r\n";
  EXPECT_EQ(h.Run({"scan", "10.0.0.1", "10.0.0.1", "--tsv", "--list", "l.txt"}), 0);
  EXPECT_EQ(h.out.str(),
            "1\t10.0.0.1\t00-1A-2B-3C-4D-5E\t0\tNo\t√\n"
            "9\t10\\\\0\\x07\tAA\\tBB\\x1b]0;owned\\x07\\x1b[31m\\t\\x7f\t0\tNo\t×\n");
  EXPECT_EQ(h.Run({"scan", "10.0.0.1", "10.0.0.1", "--list", "l.txt"}), 0);
  EXPECT_THAT(h.out.str(), HasSubstr("AA\\tBB\\x1b]0;owned\\x07\\x1b[31m\\t\\x7f  0"));
  EXPECT_THAT(h.out.str(), Not(HasSubstr("\x1b")));
  EXPECT_THAT(h.out.str(), Not(HasSubstr("\a")));

  // A wake by the row's number names the row's bytes only as escapes too.
  h.files.files["w.txt"] = "7\t10.0.0.7\x1b[2J\t00-00-00-00-00-07\r\n";
  EXPECT_EQ(h.Run({"wake", "--list", "w.txt", "7"}), 0);
  EXPECT_THAT(h.out.str(), HasSubstr("00-00-00-00-00-07  10.0.0.7\\x1b[2J\n"));
}

TEST(HonestOutput, AListOverALimitSaysWhichAndHowLarge) {
  testing::CliHarness h;
  h.files.files["l.txt"] = std::string(1000001, '\n');
  EXPECT_EQ(h.Run({"scan", "10.0.0.1", "10.0.0.1", "--list", "l.txt"}), kExitFailed);
  EXPECT_EQ(h.err.str(),
            "quarvo: raw ARP engine\n"
            "quarvo: 'l.txt' is too large to load: 1000001 lines, over the limit of 1000000 lines\n");
  h.files.files["l.txt"] = std::string((64u << 20) + 1, 'x');
  EXPECT_EQ(h.Run({"wake", "--list", "l.txt", "1"}), kExitFailed);
  EXPECT_EQ(h.err.str(),
            "quarvo: 'l.txt' is too large to load: 67108865 bytes, over the limit of 67108864 bytes\n");
}

TEST(HonestOutput, OutputThatCannotBeWrittenExitsOneWithAMessage) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"scan", "10.0.0.1", "10.0.0.2"},
        std::vector<std::string>{"wake", "00-11-22-33-44-55"}, std::vector<std::string>{"--version"}}) {
    SCOPED_TRACE(words[0]);
    testing::CliHarness h;
    h.out.setstate(std::ios::badbit);  // as a stream whose writes fail
    EXPECT_EQ(h.Run(words), kExitFailed);
    EXPECT_THAT(h.err.str(), HasSubstr("quarvo: the output could not be written to standard output\n"));
  }

  // The program's own entry, its standard output a full device or a pipe nobody reads any more.
  const auto runWithStdout = [](int fd) {
    const pid_t child = fork();
    if (child == 0) {
      dup2(fd, STDOUT_FILENO);
      const int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, STDERR_FILENO);
      char name[] = "quarvo", help[] = "--help";
      char* argv[] = {name, help, nullptr};
      _exit(RunCommandLine(2, argv));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  };
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full >= 0) {
    const int status = runWithStdout(full);
    close(full);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitFailed) << status;
  }
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);  // nobody will read
  const int status = runWithStdout(pipeEnds[1]);
  close(pipeEnds[1]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitFailed) << status;  // no SIGPIPE death
}

}  // namespace
}  // namespace quarvo
