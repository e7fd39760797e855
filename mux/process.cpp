#include "mux/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace korvell {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kReadLimit = 1024 * 1024;  // per readOutput call
constexpr milliseconds kWaitStep{5};
constexpr milliseconds kDestroyGrace{2000};

// The signals whose handling the child gets back to the default: a front end may ignore or
// catch them, and an ignored signal stays ignored across exec.
constexpr int kDefaultSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGTERM,
                                   SIGCHLD, SIGUSR1, SIGUSR2, SIGALRM};

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Moves both ends of a pipe to descriptors above 2 (keeping close-on-exec): when the program
// runs with a standard descriptor closed, pipe2 hands that number out, and the child's
// redirections onto 0, 1 and 2 would then overwrite the pipe before copying it.
bool aboveStandardFds(int (&fds)[2]) {
  for (int& fd : fds) {
    if (fd > 2) continue;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    ::close(fd);
    fd = moved;
    if (moved < 0) {
      for (const int other : fds) {
        if (other >= 0) ::close(other);
      }
      errno = saved;
      return false;
    }
  }
  return true;
}

ExitStatus statusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return ExitStatus::exited(WEXITSTATUS(waitStatus));
  if (WIFSIGNALED(waitStatus)) return ExitStatus::signalled(WTERMSIG(waitStatus));
  return {ExitStatus::Kind::Lost, 0};
}

class RealProcess final : public Process {
 public:
  RealProcess(pid_t pid, int outputFd) : pid_(pid), fd_(outputFd) {}

  ~RealProcess() override {
    if (!status_) endProcess(*this, kDestroyGrace);
    if (fd_ >= 0) ::close(fd_);
  }

  bool readOutput(std::string* text, milliseconds timeout) override {
    if (fd_ < 0) return false;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      pollfd entry{fd_, POLLIN, 0};
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      const int pollMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000));
      const int ready = ::poll(&entry, 1, pollMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return true;  // time is up (or poll failed: the next call tries again)
      break;
    }
    size_t appended = 0;
    char buffer[kReadChunk];
    while (appended < kReadLimit) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got > 0) {
        text->append(buffer, static_cast<size_t>(got));
        appended += static_cast<size_t>(got);
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      // End of the output (0), or a read error that will not go away.
      ::close(fd_);
      fd_ = -1;
      return appended > 0;
    }
    return true;
  }

  std::optional<ExitStatus> wait(milliseconds timeout) override {
    if (status_) return status_;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      int waitStatus = 0;
      const pid_t got = ::waitpid(pid_, &waitStatus, WNOHANG);
      if (got == pid_) {
        status_ = statusOf(waitStatus);
        return status_;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {  // ECHILD: a SIGCHLD handler of the program collected it
        status_ = ExitStatus{ExitStatus::Kind::Lost, 0};
        return status_;
      }
      const auto now = Clock::now();
      if (now >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::min<Clock::duration>(kWaitStep, deadline - now));
    }
  }

  void terminate() override { sendSignal(SIGTERM); }
  void kill() override { sendSignal(SIGKILL); }

 private:
  void sendSignal(int signal) {
    if (status_) return;
    // The child leads its own group (its pid is the group's id); until it is collected its
    // pid cannot be reused, so the group still is its own.
    if (::kill(-pid_, signal) != 0) ::kill(pid_, signal);
  }

  pid_t pid_;
  int fd_;
  std::optional<ExitStatus> status_;
};

// The caller's environment with `overrides` ("NAME=value") added or put in place of the
// entries of the same name.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> merged;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                      [&](const auto& o) { return nameOf(o) == nameOf(text); });
    if (!replaced) merged.push_back(text);
  }
  merged.insert(merged.end(), overrides.begin(), overrides.end());
  return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (std::string& s : strings)
    pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

class RealLauncher final : public Launcher {
 public:
  std::optional<std::string> findProgram(const std::string& name) const override {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos) {
      return isExecutableFile(name) ? std::optional<std::string>(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
      const size_t end = folders.find(':', start);
      std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
      if (folder.empty()) folder = ".";  // an empty entry is the current folder
      const std::string candidate = folder + "/" + name;
      if (isExecutableFile(candidate)) return candidate;
      if (end == std::string::npos) return std::nullopt;
      start = end + 1;
    }
  }

  Status start(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment,
               std::unique_ptr<Process>* process) override {
    const auto cannotStart = [](std::string reason) {
      return Status::failure(Status::Code::OpenFailed, std::move(reason));
    };
    if (arguments.empty()) return cannotStart("no program given");
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0 || !aboveStandardFds(pipeFds)) {
      return cannotStart(std::strerror(errno));
    }
    std::vector<std::string> argumentCopy = arguments;
    std::vector<std::string> environmentCopy = mergedEnvironment(environment);
    std::vector<char*> argv = pointersTo(argumentCopy);
    std::vector<char*> envp = pointersTo(environmentCopy);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Both ends carry close-on-exec; the copies made as 1 and 2 do not.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : kDefaultSignals)
      sigaddset(&defaults, signal);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    pid_t pid = 0;
    const int failed =
        ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[1]);
    if (failed != 0) {
      ::close(pipeFds[0]);
      return cannotStart(std::strerror(failed));
    }
    ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    *process = std::make_unique<RealProcess>(pid, pipeFds[0]);
    return {};
  }
};

}  // namespace

Launcher& realLauncher() {
  static RealLauncher launcher;
  return launcher;
}

ExitStatus endProcess(Process& process, milliseconds grace) {
  if (const auto ended = process.wait(milliseconds{0})) return *ended;
  process.terminate();
  if (const auto ended = process.wait(grace)) return *ended;
  process.kill();
  for (;;) {
    if (const auto ended = process.wait(milliseconds{1000})) return *ended;
  }
}

}  // namespace korvell
