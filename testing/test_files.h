// Small file and process helpers shared by the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvell::testing {

/// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> readFileBytes(const std::filesystem::path& path);

/// Creates or replaces the file with bytes.
void writeFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

/// What a command printed (stdout and stderr together) and its exit status (-1 when it did
/// not exit normally).
struct CommandResult {
  int status = -1;
  std::string output;
};

/// Runs a shell command line and waits for it.
CommandResult runCommand(const std::string& commandLine);

/// `commandLine` under a UTF-8 locale. MKVToolNix tools pass their arguments and output
/// through the locale's character set, so under a C locale (a fresh machine's) they cut paths
/// and language names at the first letter beyond ASCII.
inline std::string withUtf8Locale(const std::string& commandLine) {
  return "LC_ALL=C.UTF-8 " + commandLine;
}

}  // namespace korvell::testing
