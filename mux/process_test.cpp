// The real launcher with small programs of the system (sh, printf, sleep).
#include "mux/process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::unique_ptr<Process> start(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment = {}) {
  std::unique_ptr<Process> process;
  const Status started = realLauncher().start(arguments, environment, &process);
  EXPECT_TRUE(started.ok()) << started.reason();
  return process;
}

// Everything the process prints until its output ends (at most ten seconds).
std::string allOutput(Process& process) {
  std::string text;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (process.readOutput(&text, milliseconds{100}) && Clock::now() < deadline) {
  }
  return text;
}

// Output until `marker` has arrived.
std::string outputUntil(Process& process, const std::string& marker) {
  std::string text;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (text.find(marker) == std::string::npos && Clock::now() < deadline) {
    if (!process.readOutput(&text, milliseconds{100})) break;
  }
  return text;
}

TEST(Process, OutputOfBothStreamsAndTheExitCode) {
  auto process = start({"sh", "-c", "printf 'out\\n'; printf 'err\\n' >&2; exit 3"});
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(allOutput(*process), "out\nerr\n");
  EXPECT_EQ(process->wait(milliseconds{5000}), ExitStatus::exited(3));
  EXPECT_EQ(process->wait(milliseconds{0}), ExitStatus::exited(3));  // kept
  std::string more;
  EXPECT_FALSE(process->readOutput(&more, milliseconds{0}));
}

TEST(Process, ArgumentsReachTheProgramAsTheyAre) {
  auto process = start({"printf", "%s|", "a  b", "$HOME", "'q\"", "`x`", "; exit 1", ""});
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(allOutput(*process), "a  b|$HOME|'q\"|`x`|; exit 1||");
  EXPECT_EQ(process->wait(milliseconds{5000}), ExitStatus::exited(0));
}

TEST(Process, EnvironmentEntriesAreAddedOrReplaced) {
  ::setenv("KORVELL_TEST_KEPT", "kept", 1);
  ::setenv("KORVELL_TEST_REPLACED", "old", 1);
  auto process = start({"sh", "-c",
                        "printf '%s %s %s' \"$KORVELL_TEST_KEPT\" "
                        "\"$KORVELL_TEST_REPLACED\" \"$KORVELL_TEST_ADDED\""},
                       {"KORVELL_TEST_REPLACED=new", "KORVELL_TEST_ADDED=a=b"});
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(allOutput(*process), "kept new a=b");
}

TEST(Process, ReadingASilentProcessReturnsInTime) {
  auto process = start({"sleep", "30"});
  ASSERT_NE(process, nullptr);
  const auto before = Clock::now();
  std::string text;
  EXPECT_TRUE(process->readOutput(&text, milliseconds{50}));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(process->wait(milliseconds{0}));
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
  process->terminate();
  EXPECT_EQ(process->wait(milliseconds{5000}), ExitStatus::signalled(SIGTERM));
}

// SIGTERM goes to the whole group: a grandchild that holds the pipe ends with it.
TEST(Process, TerminateReachesTheGroup) {
  auto process = start({"sh", "-c", "sleep 30 & echo started; wait"});
  ASSERT_NE(process, nullptr);
  ASSERT_NE(outputUntil(*process, "started").find("started"), std::string::npos);
  process->terminate();
  EXPECT_EQ(process->wait(milliseconds{5000}), ExitStatus::signalled(SIGTERM));
  const auto before = Clock::now();
  allOutput(*process);  // ends once the grandchild has closed the pipe
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
}

TEST(Process, SigkillAfterTheGraceWhenSigtermIsIgnored) {
  auto process = start({"sh", "-c", "trap '' TERM; echo ready; while :; do sleep 1; done"});
  ASSERT_NE(process, nullptr);
  ASSERT_NE(outputUntil(*process, "ready").find("ready"), std::string::npos);
  const auto before = Clock::now();
  EXPECT_EQ(endProcess(*process, milliseconds{300}), ExitStatus::signalled(SIGKILL));
  EXPECT_GE(Clock::now() - before, milliseconds{300});
}

TEST(Process, AProgramThatCannotStart) {
  std::unique_ptr<Process> process;
  const Status missing = realLauncher().start({"/nonexistent/korvell-program"}, {}, &process);
  EXPECT_EQ(missing.reason(), "No such file or directory");
  EXPECT_FALSE(realLauncher().start({}, {}, &process).ok());
  EXPECT_EQ(process, nullptr);
}

TEST(Launcher, FindsProgramsOnThePath) {
  const testing::TempFolder folder;
  namespace fs = std::filesystem;
  fs::create_directories(folder / "a" / "prog");  // a folder of that name does not count
  fs::create_directories(folder / "b");
  testing::writeFileBytes(folder / "b" / "prog", {'#', '!'});  // not executable
  fs::create_directories(folder / "c");
  testing::writeFileBytes(folder / "c" / "prog", {'#', '!'});
  fs::permissions(folder / "c" / "prog", fs::perms::owner_all);

  const char* saved = std::getenv("PATH");
  const std::string oldPath = saved != nullptr ? saved : "";
  const std::string path =
      (folder / "a").string() + ":" + (folder / "b").string() + ":" + (folder / "c").string();
  ::setenv("PATH", path.c_str(), 1);
  const auto found = realLauncher().findProgram("prog");
  const auto missing = realLauncher().findProgram("korvell-no-such-program");
  ::setenv("PATH", oldPath.c_str(), 1);

  EXPECT_EQ(found, (folder / "c" / "prog").string());
  EXPECT_EQ(missing, std::nullopt);
  EXPECT_EQ(realLauncher().findProgram((folder / "c" / "prog").string()),
            (folder / "c" / "prog").string());
  EXPECT_EQ(realLauncher().findProgram((folder / "b" / "prog").string()), std::nullopt);
  EXPECT_EQ(realLauncher().findProgram(""), std::nullopt);
}

}  // namespace
}  // namespace korvell
