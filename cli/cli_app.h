// The subcommands of korvell-cli, apart from the process's own set-up.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "cli/terminal_host.h"
#include "runs/run_state.h"

namespace korvell::cli {

/// Exit statuses of the process.
constexpr int kExitDone = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

/// Applies a --select list to the selection a Read run left: keeps only the named streams.
/// Names are slot names (v0, a03, s12) or labels (DD+.stream.03); every name must match a
/// stream that was found. On failure sets *error and leaves the selection as it was.
bool applySelection(const std::vector<std::string>& names, RunState& state, std::string* error);

/// Runs the command of options with the host; returns the exit status.
int runCommand(const CliOptions& options, RunState& state, TerminalHost& host);

}  // namespace korvell::cli
