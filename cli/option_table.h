// The one table of korvell-cli's subcommands and options. The parser (cli_options.cpp) is
// built from it, and so are the help texts; the manual page and the bash completion are
// checked against the help. A new option is one row here plus the CliOptions field it fills.
#pragma once

#include <span>
#include <string>

#include "cli/cli_options.h"

namespace korvell::cli {

/// Bits naming where an option is taken: the bare command line (before a subcommand) and
/// each subcommand.
enum CommandBit : unsigned {
  kBare = 1,
  kRead = 2,
  kDemux = 4,
  kRebuild = 8,
  kXpl = 16,
  kTitles = 32,
  kMkv = 64,
};
/// The options of the Read run, and those of the outputs.
inline constexpr unsigned kReads = kRead | kDemux | kRebuild | kMkv;
inline constexpr unsigned kWrites = kDemux | kRebuild | kMkv;
inline constexpr unsigned kSubcommands = kReads | kXpl | kTitles;

struct SubcommandRow {
  const char* name;
  Command command;
  CommandBit bit;
  const char* input;     ///< the name of its one input in the synopsis: FILE, PLAYLIST, DISC
  const char* synopsis;  ///< what follows the input in the usage line
  const char* about;     ///< the paragraph of its help, wrapped by the help
  bool stoppable;        ///< Ctrl-C stops it (the help says so)
};

/// How many values an option takes.
enum class Arity {
  Flag,           ///< none: "--no-details"; "--no-details=x" and a value after it are refused
  Value,          ///< one: "-o DIR", "--output DIR", "--output=DIR"
  OptionalValue,  ///< "--opt=V", "--opt V" when takesNext(V), or the implicit value alone
};

/// Fills the field of an option with one of its values (empty for a flag); on a value it
/// does not take returns false and sets *error.
using OptionSetter = bool (*)(CliOptions& options, const std::string& value, std::string* error);

struct OptionRow {
  const char* names;  ///< "-o,--output": a one-letter name first, then the long name
  unsigned commands;  ///< CommandBit values
  Arity arity;
  const char* valueName;  ///< as the help shows the value: "DIR", "[XPL|auto]"; "" for a flag
  OptionSetter set;
  const char* help;                    ///< one paragraph, wrapped by the help
  const char* shownDefault = nullptr;  ///< a default the help adds: "(default mpv)"
  /// Said after the usage error when a subcommand that does not take the option is given it,
  /// or a flag is given a value: what the user probably meant.
  const char* misuse = nullptr;
  /// OptionalValue: the value when none follows, and which following argument is its value.
  const char* implicitValue = nullptr;
  bool (*takesNext)(const std::string& argument) = nullptr;
};

std::span<const SubcommandRow> subcommandTable();
std::span<const OptionRow> optionTable();

/// The row of a subcommand named name; nullptr when there is none.
const SubcommandRow* subcommandNamed(const std::string& name);
/// The row of the option with the name ("-o", "--output"); nullptr when there is none.
const OptionRow* optionNamed(const std::string& name);
/// The long name of a row ("--output").
std::string longName(const OptionRow& row);
/// The names of the subcommands whose bits are in commands: "demux and rebuild".
std::string subcommandNames(unsigned commands);

}  // namespace korvell::cli
