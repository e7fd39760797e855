// Another program run as a child process: started from an argument list (never through a
// shell), its output read through a pipe a little at a time so that a single-threaded run can
// let its host process events between reads, asked to end with SIGTERM, and its exit status.
// The Launcher finds and starts programs; tests give the runs a fake one.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/status.h"

namespace korvell {

/// How a process ended.
struct ExitStatus {
  enum class Kind : uint8_t {
    Exited,     ///< it called exit: `code` is its exit code
    Signalled,  ///< a signal ended it: `code` is the signal number
    Lost,       ///< its status could not be collected (another part of the program took it)
  };
  Kind kind = Kind::Exited;
  int code = 0;
  bool operator==(const ExitStatus&) const = default;
  static ExitStatus exited(int exitCode) { return {Kind::Exited, exitCode}; }
  static ExitStatus signalled(int signal) { return {Kind::Signalled, signal}; }
};

/// A started process. Its stdout and stderr arrive together, in the order it wrote them,
/// through one pipe. Destroying a Process that still runs ends it (SIGTERM, then SIGKILL after
/// two seconds) and collects its status, so no process outlives its object unwaited.
class Process {
 public:
  Process() = default;
  // A process owns its child and its pipe: it is never copied.
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  virtual ~Process() = default;

  /// Waits at most `timeout` for output and appends what has arrived to *text (never more than
  /// a megabyte a call, so the caller gets control back). Returns false once the output has
  /// ended (the process and everything it started closed the pipe, normally when it exits) and
  /// nothing was appended; true otherwise, also when the time ran out with nothing read.
  virtual bool readOutput(std::string* text, std::chrono::milliseconds timeout) = 0;

  /// The exit status once the process has ended, waiting at most `timeout` for it; empty while
  /// it runs. Once collected, every later call returns the same status at once.
  virtual std::optional<ExitStatus> wait(std::chrono::milliseconds timeout) = 0;

  /// Asks the process to end: SIGTERM to it (and to the process group it leads). Does
  /// nothing once it has ended.
  virtual void terminate() = 0;

  /// Ends the process at once: SIGKILL. Does nothing once it has ended.
  virtual void kill() = 0;
};

/// Finds and starts programs.
class Launcher {
 public:
  virtual ~Launcher() = default;

  /// The path of the program `name` as a start would run it: `name` itself when it holds a
  /// "/", otherwise the first executable regular file called `name` in a folder of the PATH
  /// environment variable. Empty when there is none.
  virtual std::optional<std::string> findProgram(const std::string& name) const = 0;

  /// Starts arguments[0] (a path, or a name looked up on PATH) with `arguments` as its
  /// argument list, stdin reading from /dev/null, stdout and stderr into the Process's pipe,
  /// in a process group of its own (so a Ctrl-C at the terminal reaches the run, which decides,
  /// and not the child directly) and with default signal handling. `environment` holds
  /// "NAME=value" entries that are added to the caller's environment or replace its entries of
  /// the same name. The process comes in *process; OpenFailed with the reason ("No such file
  /// or directory") when it cannot start, *process left as it was.
  virtual Status start(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment,
                       std::unique_ptr<Process>* process) = 0;
};

/// Processes of this machine (posix_spawnp).
Launcher& realLauncher();

/// Ends a process the blocking way: terminate(), up to `grace` for it to end, then kill() and
/// a wait for its end. Returns its exit status.
ExitStatus endProcess(Process& process, std::chrono::milliseconds grace);

}  // namespace korvell
