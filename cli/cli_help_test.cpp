// The help, version and manual page texts of korvell-cli against the options the parser takes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace korvell::cli {
namespace {

// The option names at the start of the help's option lines: "  -o, --output DIR" gives -o and
// --output, "  --color=WHEN" gives --color.
std::set<std::string> listedOptions(const std::string& help) {
  std::set<std::string> names;
  static const std::regex line(R"(\n  (-[a-z], )?(--[a-z-]+))");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), line); it != std::sregex_iterator();
       ++it) {
    if ((*it)[1].matched) names.insert((*it)[1].str().substr(0, 2));
    names.insert((*it)[2].str());
  }
  return names;
}

TEST(CliHelp, HelpAndVersionForms) {
  struct Case {
    std::vector<std::string> args;
    Command command;
    Command topic;
  };
  const Case cases[] = {
      {{"--version"}, Command::Version, Command::Help},
      {{"help"}, Command::Help, Command::Help},
      {{"-h"}, Command::Help, Command::Help},
      {{"--help", "read"}, Command::Help, Command::Help},
      {{"help", "read"}, Command::Help, Command::Read},
      {{"help", "demux"}, Command::Help, Command::Demux},
      {{"help", "rebuild"}, Command::Help, Command::Rebuild},
      {{"help", "xpl"}, Command::Help, Command::Xpl},
      {{"help", "titles"}, Command::Help, Command::Titles},
      {{"titles", "-h", "/disc"}, Command::Help, Command::Titles},
      {{"read", "--help"}, Command::Help, Command::Read},
      {{"demux", "F.EVO", "-o", "/out", "-h"}, Command::Help, Command::Demux},
      {{"rebuild", "-h", "NOT_AN.VOB"}, Command::Help, Command::Rebuild},  // help comes first
      {{"xpl", "--help"}, Command::Help, Command::Xpl},
      {{"xpl", "-h", "P.XPL", "--help"}, Command::Help, Command::Xpl},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto options = parseCommandLine(c.args, &error);
    ASSERT_TRUE(options) << c.args[0] << ": " << error;
    EXPECT_EQ(options->command, c.command) << c.args[0];
    EXPECT_EQ(options->helpTopic, c.topic) << c.args[0];
  }
  // Each with the argument its message names.
  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"help", "play"}, "'play'"},
      {{"help", "read", "demux"}, "'demux'"},
      {{"help", "--version"}, "--version"},
      {{"read", "--version"}, "--version"},
      {{"read", "F.EVO", "--help=yes"}, "--help"},
      {{"--version", "--json"}, "--json"},
      {{"-h", "demux.EVO"}, "'demux.EVO'"},
  };
  for (const auto& [args, named] : bad) {
    std::string error;
    EXPECT_FALSE(parseCommandLine(args, &error)) << args[1];
    EXPECT_NE(error.find(named), std::string::npos) << args[1] << ": " << error;
  }
}

TEST(CliHelp, EachSubcommandListsAndTakesItsOptionsAndRefusesTheOthers) {
  // Which subcommands' help lists an option, and the arguments that use it: each other
  // subcommand refuses them, naming the option and the subcommands that take it.
  struct Case {
    std::vector<std::string> args;
    std::set<std::string> listedBy;
    const char* input = "F.EVO";  // --title takes a disc
  };
  const std::set<std::string> all = {"read", "demux", "rebuild", "mkv", "xpl", "titles"};
  const std::set<std::string> reads = {"read", "demux", "rebuild", "mkv"};
  const std::set<std::string> writes = {"demux", "rebuild", "mkv"};
  const Case cases[] = {
      {{"-o", "/out"}, writes},
      {{"--output", "/out"}, writes},
      {{"--playlist", "V.XPL"}, {"demux", "rebuild", "mkv", "titles"}},
      {{"--select", "v0"}, writes},
      {{"--source", "F.EVO"}, {"xpl"}},
      {{"--tags"}, {"xpl"}},
      {{"--no-continue"}, reads},
      {{"--no-fast-check"}, reads},
      {{"--no-count-frames"}, reads},
      {{"--no-details"}, reads},
      {{"--video-ext", "vc1"}, {"demux"}},
      {{"--audio-ext", "ac3"}, {"demux"}},
      {{"--sub-ext", "sup"}, {"demux"}},
      {{"--lpcm", "flac"}, {"demux"}},
      {{"--subs", "vobsub"}, {"demux"}},
      {{"--codec-extensions"}, {"demux"}},
      {{"--color=never"}, all},
      {{"--markup"}, all},
      {{"--json"}, all},
      {{"--delay-names"}, {"demux"}},
      {{"--chapters"}, {"demux"}},
      {{"--no-chapters"}, {"demux"}},
      {{"--chapters-file", "C.txt"}, {"xpl"}},
      {{"--chapters-file", "C.xml", "--chapters-format", "xml"}, {"xpl"}},
      {{"--chapters-format", "simple", "--chapters-file", "C.txt"}, {"xpl"}},
      {{"--keep-temp"}, {"mkv"}},
      {{"--title", "1"}, reads, "/disc/VIDEO_TS"},
      {{"--angle", "2", "--title", "99"}, reads, "/disc"},
      {{"--file", "HVDVD_TS/F.EVO"}, {"read", "demux", "rebuild", "mkv", "xpl"}, "/d.iso"},
  };
  const std::pair<const char*, Command> commands[] = {
      {"read", Command::Read}, {"demux", Command::Demux}, {"rebuild", Command::Rebuild},
      {"mkv", Command::Mkv},   {"xpl", Command::Xpl},     {"titles", Command::Titles}};
  for (const auto& [name, command] : commands) {
    const std::set<std::string> listed = listedOptions(helpText(command));
    std::set<std::string> expected = {"-h", "--help"};
    for (const Case& c : cases) {
      const std::string option = c.args[0].substr(0, c.args[0].find('='));
      std::vector<std::string> args = {name, c.input};
      args.insert(args.end(), c.args.begin(), c.args.end());
      std::string error;
      if (!c.listedBy.contains(name)) {
        EXPECT_FALSE(parseCommandLine(args, &error)) << name << " " << option;
        EXPECT_NE(error.find(option), std::string::npos) << name << ": " << error;
        for (const std::string& taker : c.listedBy)
          EXPECT_NE(error.find(taker), std::string::npos) << name << ": " << error;
        continue;
      }
      expected.insert(option);
      EXPECT_TRUE(parseCommandLine(args, &error)) << name << " " << option << ": " << error;
    }
    EXPECT_EQ(listed, expected) << name;
    EXPECT_TRUE(helpText(command).starts_with(std::string("Usage: korvell-cli ") + name + " "))
        << name;
  }
  // The overview lists every option of every subcommand, and --version.
  std::set<std::string> every = {"-h", "--help", "--version"};
  for (const Case& c : cases)
    every.insert(c.args[0].substr(0, c.args[0].find('=')));
  EXPECT_EQ(listedOptions(usageText()), every);
  EXPECT_EQ(helpText(Command::Help), usageText());
}

TEST(CliHelp, TheManualPageNamesTheOptionsOfTheHelp) {
  std::ifstream file(std::string(KORVELL_SOURCE_DIR) + "/packaging/korvell-cli.1");
  ASSERT_TRUE(file) << "no manual page";
  const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  // Long options in roff are written with escaped hyphens: \-\-no\-details.
  std::set<std::string> named;
  static const std::regex option(R"(\\-\\-([a-z]+(\\-[a-z]+)*))");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), option);
       it != std::sregex_iterator(); ++it)
    named.insert("--" + std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
  std::set<std::string> listed;
  for (const std::string& name : listedOptions(usageText()))
    if (name.starts_with("--")) listed.insert(name);
  EXPECT_EQ(named, listed);
  // Every subcommand of the overview's usage lines has its synopsis.
  static const std::regex usage(R"(\n(Usage:)? +korvell-cli ([a-z]+) [A-Z])");
  int subcommands = 0;
  const std::string overview = "\n" + usageText();
  for (auto it = std::sregex_iterator(overview.begin(), overview.end(), usage);
       it != std::sregex_iterator(); ++it, ++subcommands)
    EXPECT_NE(page.find(".B korvell-cli " + (*it)[2].str() + "\n"), std::string::npos)
        << (*it)[2].str();
  EXPECT_GE(subcommands, 5);  // read, demux, rebuild, xpl, titles: the pattern finds them
  for (const char* section : {".SH SYNOPSIS", ".SH OPTIONS", ".SH EXIT STATUS", ".SH EXAMPLES"})
    EXPECT_NE(page.find(section), std::string::npos) << section;
}

}  // namespace
}  // namespace korvell::cli
