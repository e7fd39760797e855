#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <csignal>

#include "cli/cli_app.h"
#include "cli/terminal_host.h"
#include "runs/read_run.h"

namespace korvell::cli {
namespace {

std::optional<CliOptions> parse(std::vector<std::string> args, std::string* error) {
  return parseCommandLine(args, error);
}

TEST(CliOptions, EveryOptionBox) {
  std::string error;
  const auto options =
      parse({"demux", "F.EVO", "-o", "/out", "--select", "v0,a03,DD+.stream.01", "--no-continue",
             "--no-fast-check", "--no-count-frames", "--no-details", "--video-ext", "vc1",
             "--audio-ext", "", "--sub-ext", "sup2", "--color=never", "--markup"},
            &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->command, Command::Demux);
  EXPECT_EQ(options->input, "F.EVO");
  EXPECT_EQ(options->outputFolder, "/out");
  EXPECT_EQ(options->select, (std::vector<std::string>{"v0", "a03", "DD+.stream.01"}));
  EXPECT_FALSE(options->continueOn || options->fastCheck || options->countFrames ||
               options->details);
  EXPECT_EQ(options->videoExt, "vc1");
  EXPECT_EQ(options->audioExt, "");
  EXPECT_EQ(options->subExt, "sup2");
  EXPECT_EQ(options->colour, ColourMode::Never);
  EXPECT_TRUE(options->markup);
}

TEST(CliOptions, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"play", "F.EVO"},
      {"read"},
      {"read", "A.EVO", "B.EVO"},
      {"read", "A.EVO", "--select", "v0"},
      {"demux", "A.EVO", "--video-ext", "toolong"},
      {"demux", "A.EVO", "-o"},
      {"demux", "A.EVO", "--select", ","},
      {"demux", "A.EVO", "--color=sometimes"},
      {"demux", "A.EVO", "--frobnicate"},
      {"rebuild", "A.VOB"},
      {"read", "A.EVO", "--playlist", "V.XPL"},
      {"demux", "A.EVO", "--source", "B.EVO"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(parse(args, &error)) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_EQ(parse({"--help"}, &error)->command, Command::Help);
}

TEST(CliOptions, PlaylistWithOrWithoutAValue) {
  struct Case {
    std::vector<std::string> args;
    std::string playlist;  // empty: a usage error
  };
  const Case cases[] = {
      {{"demux", "/d/HVDVD_TS/F.EVO", "--playlist"}, "/d/ADV_OBJ/VPLST000.XPL"},
      {{"demux", "/d/HVDVD_TS/F.EVO", "--playlist=auto"}, "/d/ADV_OBJ/VPLST000.XPL"},
      {{"demux", "--playlist", "/d/HVDVD_TS/F.EVO"}, "/d/ADV_OBJ/VPLST000.XPL"},
      {{"rebuild", "/d/HVDVD_TS/F.EVO", "--playlist", "--no-continue"}, "/d/ADV_OBJ/VPLST000.XPL"},
      {{"demux", "/d/HVDVD_TS/F.EVO", "--playlist", "/p/V.XPL"}, "/p/V.XPL"},
      {{"demux", "/d/HVDVD_TS/F.EVO", "--playlist=/p/V.XPL"}, "/p/V.XPL"},
      {{"demux", "/d/VIDEO_TS/F.VOB", "--playlist"}, ""},  // no disc playlist beside it
      {{"demux", "/d/hvdvd_ts/F.EVO", "--playlist"}, ""},  // the folder name is exact
  };
  for (const auto& c : cases) {
    std::string error;
    const auto options = parse(c.args, &error);
    if (c.playlist.empty()) {
      EXPECT_FALSE(options) << c.args[1];
      EXPECT_NE(error.find("HVDVD_TS"), std::string::npos) << error;
    } else {
      ASSERT_TRUE(options) << error;
      EXPECT_EQ(options->playlist, c.playlist);
    }
  }
}

TEST(CliSelection, SlotNamesAndLabels) {
  RunState state;
  resetSelection(state);
  const int a1 = slotNumber({Family::Audio, 1});
  const int s12 = slotNumber({Family::Subpicture, 12});
  const int v0 = slotNumber({Family::Video, 0});
  for (int n : {a1, s12, v0})
    state.selected[n] = true;
  state.streamLabel[a1] = "DD+.stream.01";
  std::string error;
  ASSERT_TRUE(applySelection({"DD+.stream.01", "s12"}, state, &error)) << error;
  EXPECT_TRUE(state.selected[a1]);
  EXPECT_TRUE(state.selected[s12]);
  EXPECT_FALSE(state.selected[v0]);
  EXPECT_FALSE(applySelection({"v1"}, state, &error));  // not found
  EXPECT_FALSE(applySelection({"a16"}, state, &error));
  EXPECT_TRUE(state.selected[a1]);  // a failed selection changes nothing
}

TEST(CliRendering, AnsiPlainAndMarkup) {
  const std::string message = "   Size = [bl]720[/bl]x[bl]576[/bl]";
  EXPECT_EQ(renderLine(message, LineStyle::Plain), "   Size = 720x576");
  EXPECT_EQ(renderLine(message, LineStyle::Markup), message);
  EXPECT_EQ(renderLine(message, LineStyle::Ansi),
            "   Size = \033[1;38;2;0;0;255m720\033[0mx\033[1;38;2;0;0;255m576\033[0m");
}

TEST(CliProgress, ProgressLineComesBackAfterEachMessage) {
  RunState state;
  TerminalHost host(state, LineStyle::Plain, true);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  host.status("Reading F.EVO ", 0);
  host.status("4/8 Mbytes", 1);
  host.log("[b]VC-1[/b] video stream 0 found!");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "VC-1 video stream 0 found!\n");
  const std::string line = "\rReading F.EVO   4/8 Mbytes\033[K";
  // Drawn, cleared for the message, drawn again.
  EXPECT_EQ(err.substr(err.size() - line.size()), line);
  EXPECT_NE(err.find("\r\033[K"), std::string::npos);
}

TEST(CliInterrupt, CtrlCActsLikeCancelAtTheNextEventPoint) {
  // Runs last in this binary's order of declaration: the interrupt stays recorded.
  RunState state;
  TerminalHost host(state, LineStyle::Markup, false);
  TerminalHost::installInterruptHandler();
  state.demuxing = true;
  host.processEvents();
  EXPECT_FALSE(state.stopRequested());
  std::raise(SIGINT);
  EXPECT_TRUE(host.interrupted());
  testing::internal::CaptureStdout();
  host.processEvents();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cancelled.\n");
  EXPECT_EQ(state.stopReason, StopReason::UserCancel);
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace korvell::cli
