#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <set>

#include "cli/option_table.h"
#include "runs/command_rules.h"
#include "runs/file_set.h"
#include "runs/named_input.h"
#include "runs/session.h"
#include "runs/titles_run.h"

namespace korvell::cli {

namespace {

constexpr const char* kInput = "input";  // the CLI11 name of a subcommand's one input

bool isOptionWord(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

// "--color=never" gives "--color"; "-o" stays "-o".
std::string nameOf(const std::string& argument) {
  return argument.starts_with("--") ? argument.substr(0, argument.find('=')) : argument;
}

std::string inQuotes(const std::string& text) {
  return "'" + text + "'";
}

const OptionRow* rowTakenBy(const std::string& argument, unsigned bit) {
  const OptionRow* row = optionNamed(nameOf(argument));
  return row != nullptr && (row->commands & bit) != 0 ? row : nullptr;
}

std::string withMisuse(std::string message, const OptionRow& row) {
  return row.misuse == nullptr ? message : message + ": " + row.misuse;
}

// Brings the arguments after a subcommand into forms CLI11 reads as the table means them,
// and refuses what it would read otherwise. An optional value is written --name=VALUE: the
// following argument when the row takes it, else the implicit value. A value option is
// written as two arguments (--name VALUE, so "--name=" gives an empty value rather than
// taking the next argument); its value is passed on as it is, even when it looks like an
// option. A flag with "=VALUE" and a value option at the end are usage errors.
bool normalise(const std::vector<std::string>& args, unsigned bit, std::vector<std::string>* out,
               std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      out->insert(out->end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      return true;
    }
    const OptionRow* row = rowTakenBy(arg, bit);
    const bool hasValue = arg.starts_with("--") && arg.find('=') != std::string::npos;
    if (row == nullptr) {
      out->push_back(arg);
    } else if (row->arity == Arity::Flag) {
      if (hasValue) {
        *error = withMisuse(nameOf(arg) + " takes no value (" + inQuotes(arg) + ")", *row);
        return false;
      }
      out->push_back(arg);
    } else if (row->arity == Arity::OptionalValue) {
      std::string value = hasValue ? arg.substr(arg.find('=') + 1) : "";
      if (!hasValue && i + 1 < args.size() && row->takesNext(args[i + 1])) value = args[++i];
      out->push_back(nameOf(arg) + "=" + (value.empty() ? row->implicitValue : value));
    } else if (hasValue) {
      out->push_back(nameOf(arg));
      out->push_back(arg.substr(arg.find('=') + 1));
    } else if (i + 1 == args.size()) {
      *error = arg + " needs a value (" + row->valueName + ")";
      return false;
    } else {
      out->push_back(arg);
      out->push_back(args[++i]);
    }
  }
  return true;
}

// korvell-cli's command line as CLI11 parses it: each subcommand with its one input and the
// options the table gives it, the bare command line with its own options, and help with
// its topic. Every part keeps what it does not take (allow_extras): this file names it.
class Parser {
 public:
  Parser() {
    app_.set_help_flag();
    app_.allow_extras();
    app_.require_subcommand(0, 1);
    addOptions(app_, kBare);
    for (const SubcommandRow& row : subcommandTable()) {
      CLI::App* sub = app_.add_subcommand(row.name);
      sub->allow_extras();
      sub->add_option(kInput);
      addOptions(*sub, row.bit);
      subcommands_[sub] = &row;
    }
    help_ = app_.add_subcommand("help");
    help_->allow_extras();
    help_->add_option(kInput);
  }

  // args: the whole command line after the program's name, normalised.
  bool parse(const std::vector<std::string>& args, std::string* error) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
      app_.parse(reversed);
    } catch (const CLI::ParseError& failure) {
      *error = failure.what();
      return false;
    }
    return true;
  }

  const CLI::App& bare() const { return app_; }
  /// The subcommand given; nullptr for none.
  CLI::App* subcommand() const {
    const auto given = app_.get_subcommands();
    return given.empty() ? nullptr : given.front();
  }
  bool isHelp(const CLI::App* sub) const { return sub == help_; }
  const SubcommandRow& rowOf(const CLI::App* sub) const { return *subcommands_.at(sub); }

  /// Calls the setter of each option in the order given; false with *error on a refused
  /// value. given collects the rows applied.
  bool apply(const CLI::App& app, CliOptions& options, std::set<const OptionRow*>* given,
             std::string* error) const {
    std::map<const CLI::Option*, size_t> used;
    for (const CLI::Option* option : app.parse_order()) {
      const auto found = rows_.find(option);
      if (found == rows_.end()) continue;  // the input
      const OptionRow& row = *found->second;
      const size_t index = used[option]++;
      const std::string value = row.arity == Arity::Flag || index >= option->results().size()
                                    ? ""
                                    : option->results()[index];
      std::string refused;
      if (!row.set(options, value, &refused)) {
        *error = longName(row) + " " + refused;
        return false;
      }
      given->insert(&row);
    }
    return true;
  }

 private:
  void addOptions(CLI::App& app, unsigned bit) {
    for (const OptionRow& row : optionTable()) {
      if ((row.commands & bit) == 0) continue;
      CLI::Option* option =
          row.arity == Arity::Flag ? app.add_flag(row.names) : app.add_option(row.names);
      if (row.arity != Arity::Flag) option->take_all();
      rows_[option] = &row;
    }
  }

  CLI::App app_{"korvell-cli"};
  CLI::App* help_ = nullptr;
  std::map<const CLI::App*, const SubcommandRow*> subcommands_;
  std::map<const CLI::Option*, const OptionRow*> rows_;
};

std::string inputOf(const CLI::App& sub) {
  const auto& results = sub.get_option(kInput)->results();
  return results.empty() ? "" : results.front();
}

// Why a subcommand's arguments hold a second input, when an option before one tells: it
// takes no value, or not that one. args: the arguments after the subcommand, as given.
std::string secondInputNote(const std::vector<std::string>& args, unsigned bit) {
  for (size_t i = 0; i + 1 < args.size() && args[i] != "--"; ++i) {
    const OptionRow* row = rowTakenBy(args[i], bit);
    if (row == nullptr || args[i].find('=') != std::string::npos) continue;
    const std::string& next = args[i + 1];
    if (row->arity == Arity::Value) {
      ++i;  // its value
    } else if (isOptionWord(next)) {
      continue;
    } else if (row->arity == Arity::Flag) {
      return withMisuse(" (" + args[i] + " takes no value)", *row);
    } else if (CliOptions scratch; !row->takesNext(next)) {
      std::string why;
      if (!row->set(scratch, next, &why)) return " (" + longName(*row) + " " + why + ")";
    }
  }
  return "";
}

// The message for the first argument a part of the command line did not take. where: the
// subcommand's name, empty for the bare command line; args: its arguments, as given.
std::string extraMessage(const std::string& where, unsigned bit, const std::string& input,
                         const std::vector<std::string>& extras,
                         const std::vector<std::string>& args) {
  const std::string& first = extras.front();
  if (where.empty() && !isOptionWord(first)) return "unknown command " + inQuotes(first);
  if (isOptionWord(first)) {
    const std::string name = nameOf(first);
    const OptionRow* row = optionNamed(name);
    if (row == nullptr) return "unknown option " + inQuotes(first);
    if (where.empty()) {
      return withMisuse(
          name + " goes after a subcommand (" + subcommandNames(row->commands & kSubcommands) + ")",
          *row);
    }
    if ((row->commands & kSubcommands) == 0) {
      return where + " does not take " + name + ": it stands alone (korvell-cli " + name + ")";
    }
    return withMisuse(where + " does not take " + name + ", an option of " +
                          subcommandNames(row->commands & kSubcommands),
                      *row);
  }
  std::string message = where + " takes one input file, not " + inQuotes(input);
  for (const std::string& extra : extras)
    message += " and " + inQuotes(extra);
  return message + secondInputNote(args, bit);
}

bool commandLineOf(const std::vector<std::string>& args, CliOptions& options, std::string* error) {
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  const SubcommandRow* named = subcommandNamed(args[0]);
  if (!isOptionWord(args[0]) && named == nullptr && args[0] != "help") {
    *error = "unknown command " + inQuotes(args[0]);
    return false;
  }
  // Only a subcommand's own arguments need the table's forms.
  std::vector<std::string> normalised;
  if (named != nullptr) {
    normalised.push_back(args[0]);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (!normalise(rest, named->bit, &normalised, error)) return false;
  } else {
    normalised = args;
  }
  Parser parser;
  if (!parser.parse(normalised, error)) return false;

  const CLI::App& bare = parser.bare();
  if (!bare.remaining().empty()) {
    *error = extraMessage("", kBare, "", bare.remaining(), args);
    return false;
  }
  std::set<const OptionRow*> given;
  if (!parser.apply(bare, options, &given, error)) return false;
  if (!given.empty()) return true;  // --help or --version
  CLI::App* sub = parser.subcommand();
  if (sub == nullptr) {
    *error = "no command given";
    return false;
  }
  if (parser.isHelp(sub)) {
    if (!sub->remaining().empty()) {
      *error = "help takes one subcommand, not also " + inQuotes(sub->remaining().front());
      return false;
    }
    const std::string topic = inputOf(*sub);
    if (topic.empty()) return true;
    const SubcommandRow* row = subcommandNamed(topic);
    if (row == nullptr) {
      *error = "help: unknown subcommand " + inQuotes(topic);
      return false;
    }
    options.helpTopic = row->command;
    return true;
  }

  const SubcommandRow& row = parser.rowOf(sub);
  options.command = row.command;
  options.input = inputOf(*sub);
  // CLI11 keeps a "--" before the input among what it did not take.
  std::vector<std::string> extras = sub->remaining();
  std::erase(extras, "--");
  if (!extras.empty()) {
    *error = extraMessage(row.name, row.bit, options.input, extras,
                          std::vector<std::string>(args.begin() + 1, args.end()));
    return false;
  }
  if (!parser.apply(*sub, options, &given, error)) return false;
  if (options.command == Command::Help) return true;  // help comes before the other rules
  if (options.input.empty()) {
    *error =
        std::string(row.name) + " needs an input file: korvell-cli " + row.name + " " + row.input;
    return false;
  }
  if (given.contains(optionNamed("--chapters-format")) && options.chaptersFile.empty()) {
    *error = "--chapters-format needs --chapters-file FILE";
    return false;
  }
  // A disc title reads an HD DVD from its own playlist: "auto" (no file named) lets the disc
  // choose it, as for the titles command. A DVD title takes its names from the IFO.
  // What an image holds is known once it is opened: its titles refuse a playlist then.
  const bool hdDvdTitle =
      options.title && (isHdDvdPath(options.input) || isDiscImage(options.input));
  if (options.title && !options.playlist.empty() && !hdDvdTitle) {
    *error =
        "--playlist reads an HD DVD playlist; a DVD title (--title) takes its names from "
        "the IFO";
    return false;
  }
  // A disc image is read through a file inside it or a title of it.
  const std::string image = isDiscImage(options.input) ? options.input : "";
  if (!options.file.empty() && image.empty()) {
    *error = "--file names a file inside a disc image (.iso), and '" + options.input + "' is none";
    return false;
  }
  if (!options.file.empty() && options.title) {
    *error = "--file and --title both name what to read: give one";
    return false;
  }
  if (!image.empty() && options.file.empty() && !options.title &&
      options.command != Command::Titles) {
    *error = "'" + image + "' is a disc image: name " +
             (options.command == Command::Xpl
                  ? std::string("the playlist inside it with --file ADV_OBJ/VPLST000.XPL")
                  : "a title with --title N (korvell-cli titles " + image +
                        " lists them) or a file inside it with --file PATH");
    return false;
  }
  // What the runs read: the input, or the file inside the image.
  const std::string read = image.empty() ? options.input : image + "/" + options.file;
  if (options.playlist == "auto") {
    const bool discChooses = options.title || options.command == Command::Titles;
    options.playlist = discChooses ? "" : discPlaylistPath(read);
    if (options.playlist.empty() && !discChooses) {
      *error = "--playlist: '" + options.input +
               "' does not lie in an HVDVD_TS folder, so no disc playlist is beside it; name "
               "the playlist file";
      return false;
    }
  }
  if (options.angle && !options.title) {
    *error = "--angle needs --title N";
    return false;
  }
  // The program streams of other discs, and playlists elsewhere, are no disc.
  const NamedFileRole role = namedFileRole(read);
  if (options.title && !hdDvdTitle &&
      (role == NamedFileRole::Playlist ||
       (role == NamedFileRole::Source && upperExtension(read) != ".VOB"))) {
    *error =
        "--title takes a DVD-Video disc (the folder that holds VIDEO_TS, VIDEO_TS itself or "
        "a file in it) or an HD DVD (its folder, HVDVD_TS, ADV_OBJ or a file in them), not '" +
        options.input + "'";
    return false;
  }
  if (options.command == Command::Rebuild && !rebuildTakes(read, options.title.has_value())) {
    *error = "rebuild takes an .EVO file, or a DVD-Video disc with --title N: '" + options.input +
             "' is neither";
    return false;
  }
  return true;
}

}  // namespace

std::optional<CliOptions> parseCommandLine(const std::vector<std::string>& args,
                                           std::string* error) {
  CliOptions options;
  if (!commandLineOf(args, options, error)) return std::nullopt;
  return options;
}

std::string usageHint(const std::vector<std::string>& args) {
  const SubcommandRow* named = args.empty() ? nullptr : subcommandNamed(args[0]);
  if (named == nullptr) return "See 'korvell-cli help' for the subcommands and their options.\n";
  return std::string("See 'korvell-cli help ") + named->name + "' for the options of " +
         named->name + ".\n";
}

}  // namespace korvell::cli
