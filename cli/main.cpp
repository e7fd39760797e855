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
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto options = parseCommandLine(args, &error);
  if (!options) {
    std::fprintf(stderr, "korvell-cli: %s\n%s", error.c_str(), usageHint(args).c_str());
    return kExitUsage;
  }
  if (options->command == Command::Help || options->command == Command::Version) {
    const std::string text =
        options->command == Command::Version ? versionText() : helpText(options->helpTopic);
    std::fputs(text.c_str(), stdout);
    return kExitDone;
  }
  const auto styleFor = [&options](int stream) {
    if (options->markup) return LineStyle::Markup;
    const bool colour = options->colour == ColourMode::Always ||
                        (options->colour == ColourMode::Auto && isatty(stream) != 0);
    return colour ? LineStyle::Ansi : LineStyle::Plain;
  };
  korvell::RunState state;
  state.options.decimalSeparator = userDecimalSeparator();
  TerminalHost host(state, styleFor(STDOUT_FILENO), isatty(STDERR_FILENO) != 0);
  host.setErrorStyle(styleFor(STDERR_FILENO));
  TerminalHost::installInterruptHandler();
  return runCommand(*options, state, host);
}
