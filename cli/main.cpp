// korvell-cli: the Read and Demux runs from a terminal.
#include <unistd.h>

#include <cstdio>
#include <locale>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_options.h"
#include "cli/terminal_host.h"

namespace {

char userDecimalSeparator() {
  try {
    return std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
  } catch (const std::exception&) {
    return '.';  // an unknown locale name: keep the classic separator
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace korvell::cli;
  std::string error;
  const auto options = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "korvell-cli: %s\n\n%s", error.c_str(), usageText().c_str());
    return kExitUsage;
  }
  if (options->command == Command::Help || options->command == Command::Version) {
    const std::string text =
        options->command == Command::Version ? versionText() : helpText(options->helpTopic);
    std::fputs(text.c_str(), stdout);
    return kExitDone;
  }
  const bool colourTerminal = isatty(STDOUT_FILENO) != 0;
  LineStyle style = LineStyle::Plain;
  if (options->markup) {
    style = LineStyle::Markup;
  } else if (options->colour == ColourMode::Always ||
             (options->colour == ColourMode::Auto && colourTerminal)) {
    style = LineStyle::Ansi;
  }
  korvell::RunState state;
  state.decimalSeparator = userDecimalSeparator();
  TerminalHost host(state, style, isatty(STDERR_FILENO) != 0);
  TerminalHost::installInterruptHandler();
  return runCommand(*options, state, host);
}
