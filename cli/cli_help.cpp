// The help texts of korvell-cli, made from the table of subcommands and options.
#include <algorithm>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/option_table.h"
#include "korvell_version.h"

namespace korvell::cli {

namespace {

constexpr size_t kWidth = 79;       // no help line is longer
constexpr size_t kTextColumn = 23;  // where an option's description starts

// The words of text after line, in lines of at most kWidth characters; every line's text
// starts at column indent.
std::string wrapped(const std::string& text, std::string line, size_t indent) {
  std::string out;
  std::istringstream words(text);
  std::string word;
  bool fresh = true;  // no word on the line yet
  while (words >> word) {
    if (!fresh && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line.clear();
      fresh = true;
    }
    if (fresh) {
      line.resize(std::max(line.size(), indent), ' ');
    } else {
      line += ' ';
    }
    line += word;
    fresh = false;
  }
  return out + line + "\n";
}

std::string optionEntry(const OptionRow& row) {
  std::string names = row.names;
  if (const size_t comma = names.find(','); comma != std::string::npos) {
    names.replace(comma, 1, ", ");
  }
  std::string head = "  " + names;
  if (*row.valueName != '\0') head += std::string(" ") + row.valueName;
  std::string help = row.help;
  if (row.shownDefault != nullptr) help += std::string(" (default ") + row.shownDefault + ")";
  // A long head has the description on the lines under it.
  if (head.size() + 1 >= kTextColumn) return head + "\n" + wrapped(help, "", kTextColumn);
  return wrapped(help, head, kTextColumn);
}

std::string optionLines(unsigned commands) {
  std::string text = "Options:\n";
  for (const OptionRow& row : optionTable())
    if ((row.commands & commands) != 0) text += optionEntry(row);
  return text;
}

std::string usageLine(const SubcommandRow& row) {
  return std::string("korvell-cli ") + row.name + " " + row.input + " " + row.synopsis + "\n";
}

const char* const kExitStatus =
    "Exit status: 0 done, 1 a file could not be opened, created, read or written,\n"
    "2 usage error, 130 stopped by Ctrl-C.\n";

const char* const kCtrlC =
    "Ctrl-C stops a run as the Cancel button does; the run closes its files.\n";

const char* const kOverview =
    "Reports every elementary stream of an HD DVD .EVO, DVD .VOB or DVD-Audio .AOB file "
    "(read), writes the chosen streams to files of their own (demux), or writes a copy of an "
    ".EVO without the other streams, the kept ones renumbered (rebuild). All three carry on "
    "with the second file of a set (FEATURE_1.EVO, then FEATURE_2.EVO), and over a DVD title "
    "set's VOB files (VTS_01_1.VOB, VTS_01_2.VOB, ...) as one file. titles lists the titles of "
    "a DVD-Video disc from its IFO files; read, demux and rebuild --title N work on one of "
    "them, its cells in play order, its streams labelled with their languages. xpl shows the "
    "title "
    "of an HD DVD playlist (VPLST000.XPL) that plays --source and the stream labels it gives; "
    "--playlist does the same before a demux or rebuild, so the output files carry the "
    "playlist's names. Messages about files that could not be opened, created, read or "
    "written, and usage errors, go to standard error.";

}  // namespace

std::string usageText() {
  std::string text;
  for (const SubcommandRow& row : subcommandTable())
    text += (text.empty() ? "Usage: " : "       ") + usageLine(row);
  text +=
      "       korvell-cli help [SUBCOMMAND]\n"
      "       korvell-cli SUBCOMMAND --help\n"
      "       korvell-cli --version\n"
      "\n";
  text += wrapped(kOverview, "", 0) + "\n";
  return text + optionLines(kBare | kSubcommands) + "\n" + kCtrlC + kExitStatus;
}

std::string helpText(Command topic) {
  for (const SubcommandRow& row : subcommandTable()) {
    if (row.command != topic) continue;
    std::string text = "Usage: " + usageLine(row) + "\n" + wrapped(row.about, "", 0) + "\n" +
                       optionLines(row.bit) + "\n";
    if (row.stoppable) text += kCtrlC;
    return text + kExitStatus;
  }
  return usageText();
}

std::string versionText() {
  return "korvell-cli " KORVELL_VERSION "\n";
}

}  // namespace korvell::cli
