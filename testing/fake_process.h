// A Launcher whose processes follow a script, for the tests of runs that drive a program.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mux/process.h"

namespace korvell::testing {

/// What a fake process does: it hands out `chunks` of output, one per read, then closes its
/// output and ends with `exit`; or, with `hangs`, keeps running with nothing more to say until
/// it is terminated (SIGTERM ends it with signal 15 unless `ignoresTerm`; SIGKILL with 9).
struct FakeScript {
  std::vector<std::string> chunks;
  ExitStatus exit = ExitStatus::exited(0);
  bool hangs = false;
  bool ignoresTerm = false;
};

class FakeLauncher final : public Launcher {
 public:
  std::optional<std::string> findProgram(const std::string& name) const override;
  Status start(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment,
               std::unique_ptr<Process>* process) override;

  /// What findProgram answers for every name (empty: not found).
  std::optional<std::string> program = "/usr/bin/mkvmerge";
  FakeScript script;
  /// When not empty, start fails with this reason.
  std::string startError;
  /// Called at each read of the running process with the read's number (from 1): a test acts
  /// there as the program would (writes its output file) or as a user would.
  std::function<void(int read)> onRead;

  // What happened.
  mutable std::vector<std::string> lookedUp;
  std::vector<std::vector<std::string>> starts;
  std::vector<std::vector<std::string>> environments;
  int reads = 0;
  int terminations = 0;
  int kills = 0;
  int processesAlive = 0;  ///< fake processes not yet destroyed
};

}  // namespace korvell::testing
