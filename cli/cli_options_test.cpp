#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

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
  EXPECT_EQ(options->lpcmForm, LpcmForm::Raw);  // the forms of today unless asked
  EXPECT_EQ(options->subpictureForm, SubpictureForm::SupRecords);
  EXPECT_FALSE(options->codecExtensions);
}

TEST(CliOptions, OutputFormsOfDemux) {
  struct Case {
    std::vector<std::string> args;
    LpcmForm lpcm;
    SubpictureForm subs;
    bool byCodec;
  };
  const Case cases[] = {
      {{"--lpcm", "wav"}, LpcmForm::Wav, SubpictureForm::SupRecords, false},
      {{"--lpcm=flac", "--subs", "pgs"}, LpcmForm::Flac, SubpictureForm::Pgs, false},
      {{"--subs=vobsub", "--codec-extensions"}, LpcmForm::Raw, SubpictureForm::VobSub, true},
      {{"--lpcm", "flac", "--lpcm", "raw", "--subs", "sup"},
       LpcmForm::Raw,
       SubpictureForm::SupRecords,
       false},  // the last one given
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"demux", "F.VOB"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string error;
    const auto options = parse(args, &error);
    ASSERT_TRUE(options) << c.args[0] << ": " << error;
    EXPECT_EQ(options->lpcmForm, c.lpcm) << c.args[0];
    EXPECT_EQ(options->subpictureForm, c.subs) << c.args[0];
    EXPECT_EQ(options->codecExtensions, c.byCodec) << c.args[0];
  }
}

TEST(CliOptions, OptionsGivenTwiceAndValuesThatLookOdd) {
  std::string error;
  const auto options = parse(
      {"demux", "[a,b] F.EVO", "--select", "v0", "--select", "a01,", "-o", "-out", "--chapters",
       "--no-chapters", "--video-ext", "a", "--video-ext=b", "--audio-ext=", "--no-details"},
      &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->input, "[a,b] F.EVO");  // no list, though CLI11 can read "[a,b]" as one
  EXPECT_EQ(options->select, (std::vector<std::string>{"v0", "a01"}));
  EXPECT_EQ(options->outputFolder, "-out");
  EXPECT_FALSE(options->writeChapters);  // the last of --chapters and --no-chapters
  EXPECT_EQ(options->videoExt, "b");
  EXPECT_EQ(options->audioExt, "");  // "=" with nothing after it: not the next argument
  EXPECT_FALSE(options->details);
  // Quotes and brackets are the file's own: CLI11 reads neither.
  const auto quotes =
      parse({"xpl", "'P'.XPL", "--source", "\"F\".EVO", "--chapters-file=[c,d].txt"}, &error);
  ASSERT_TRUE(quotes) << error;
  EXPECT_EQ(quotes->input, "'P'.XPL");
  EXPECT_EQ(quotes->source, "\"F\".EVO");
  EXPECT_EQ(quotes->chaptersFile, "[c,d].txt");
  const auto dashed = parse({"read", "--no-details", "--", "-F.EVO"}, &error);
  ASSERT_TRUE(dashed) << error;
  EXPECT_EQ(dashed->input, "-F.EVO");
}

TEST(CliOptions, ColorWithOrWithoutAValue) {
  struct Case {
    std::vector<std::string> args;
    ColourMode colour;
  };
  const Case cases[] = {
      {{"read", "F.EVO", "--color", "never"}, ColourMode::Never},
      {{"read", "F.EVO", "--color=never"}, ColourMode::Never},
      {{"read", "--color", "auto", "F.EVO"}, ColourMode::Auto},
      {{"read", "--color", "F.EVO"}, ColourMode::Always},
      {{"read", "F.EVO", "--color"}, ColourMode::Always},
      {{"xpl", "F.EVO", "--color", "--tags"}, ColourMode::Always},
      {{"demux", "F.EVO", "--color=", "--no-details"}, ColourMode::Always},
      {{"rebuild", "--color", "never", "--color", "F.EVO"}, ColourMode::Always},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto options = parse(c.args, &error);
    ASSERT_TRUE(options) << c.args[1] << ": " << error;
    EXPECT_EQ(options->colour, c.colour) << c.args[1] << " " << c.args[2];
    EXPECT_EQ(options->input, "F.EVO");
  }
}

TEST(CliOptions, UsageErrorsNameTheArgument) {
  struct Case {
    std::vector<std::string> args;
    const char* named;  // what the message must hold
  };
  const Case cases[] = {
      {{}, "no command"},
      {{"play", "F.EVO"}, "'play'"},
      {{"read"}, "input file"},
      {{"read", "A.EVO", "B.EVO"}, "'B.EVO'"},
      {{"read", "A.EVO", "--select", "v0"}, "--select"},
      {{"demux", "A.EVO", "--video-ext", "toolong"}, "--video-ext"},
      {{"demux", "A.EVO", "-o"}, "-o"},
      {{"demux", "A.EVO", "--select", ","}, "--select"},
      {{"demux", "A.EVO", "--color=sometimes"}, "'sometimes'"},
      {{"demux", "A.EVO", "--color", "sometimes"}, "'sometimes'"},
      {{"demux", "A.EVO", "--frobnicate"}, "'--frobnicate'"},
      {{"demux", "A.EVO", "-x"}, "'-x'"},
      {{"rebuild", "A.VOB"}, "'A.VOB'"},
      {{"read", "A.EVO", "--playlist", "V.XPL"}, "--playlist"},
      {{"demux", "A.EVO", "--source", "B.EVO"}, "--source"},
      {{"read", "A.EVO", "--video-ext", "x"}, "--video-ext"},
      {{"xpl", "V.XPL", "--no-details"}, "--no-details"},
      {{"demux", "A.EVO", "--no-details=yes"}, "--no-details"},
      {{"demux", "A.EVO", "--tags", "x"}, "--tags"},
      {{"--json", "read", "A.EVO"}, "--json"},
      {{"demux", "A.EVO", "--playlist", "B.EVO"}, "'B.EVO'"},  // a program stream, not a playlist
      {{"xpl", "V.XPL", "--chapters-format", "xml"}, "--chapters-file"},
      {{"xpl", "V.XPL", "--chapters-file", "C.txt", "--chapters-format", "txt"}, "'txt'"},
      // --chapters was xpl's chapter file once: the message tells the new name.
      {{"xpl", "V.XPL", "--chapters", "C.txt"}, "--chapters-file"},
      // A value after demux's --chapters: what to do instead.
      {{"demux", "A.EVO", "--chapters", "C.txt"}, "--chapters takes no value"},
      {{"demux", "--chapters", "C.txt", "A.EVO"}, "--chapters takes no value"},
      {{"demux", "A.EVO", "--chapters", "C.txt"}, "beside the streams"},
      {{"demux", "A.EVO", "--chapters", "C.txt"}, "xpl PLAYLIST --source FILE --chapters-file"},
      {{"demux", "A.EVO", "--chapters=C.txt"}, "--chapters-file"},
      // --title and --angle: a DVD disc, whole numbers in range, the angle of a title.
      {{"demux", "A.EVO", "--title", "1"}, "'A.EVO'"},
      {{"read", "/d/AUDIO_TS/ATS_01_1.AOB", "--title", "1"}, "DVD-Video disc"},
      {{"read", "/d/ADV_OBJ/VPLST000.XPL", "--title", "1"}, "DVD-Video disc"},
      {{"read", "/d", "--title", "0"}, "from 1 to 99, not '0'"},
      {{"read", "/d", "--title", "100"}, "'100'"},
      {{"read", "/d", "--title", "-1"}, "--title"},
      {{"read", "/d", "--title", "1x"}, "'1x'"},
      {{"read", "/d", "--title", "1", "--angle", "10"}, "from 1 to 9"},
      {{"demux", "/d", "--angle", "2"}, "--angle needs --title"},
      {{"xpl", "V.XPL", "--title", "1"}, "read, demux, rebuild and mkv"},
      {{"titles", "/d", "--angle", "1"}, "--angle"},
      {{"titles", "/d", "--select", "v0"}, "--select"},
      {{"rebuild", "/d/VIDEO_TS/VTS_01_1.VOB"}, "--title N"},
      {{"demux", "/d", "--title", "1", "--playlist"}, "--playlist reads an HD DVD playlist"},
      {{"demux", "A.EVO", "--lpcm", "WAV"}, "takes raw, wav or flac, not 'WAV'"},
      {{"demux", "A.EVO", "--subs=idx"}, "takes sup, vobsub or pgs, not 'idx'"},
      {{"demux", "A.EVO", "--subs"}, "--subs needs a value"},
      {{"demux", "A.EVO", "--codec-extensions=yes"}, "--codec-extensions takes no value"},
      {{"read", "A.EVO", "--lpcm", "wav"}, "--lpcm, an option of demux"},
      {{"rebuild", "A.EVO", "--subs", "pgs"}, "--subs"},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::string line = c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back();
    EXPECT_FALSE(parse(c.args, &error)) << line;
    EXPECT_NE(error.find(c.named), std::string::npos) << line << ": " << error;
  }
  std::string error;
  EXPECT_EQ(parse({"--help"}, &error)->command, Command::Help);
}

TEST(CliOptions, TitleAndAngleOfADvdDisc) {
  struct Case {
    std::vector<std::string> args;
    Command command;
    std::optional<int> title, angle;
  };
  const Case cases[] = {
      {{"read", "/d", "--title", "3"}, Command::Read, 3, {}},
      {{"demux", "--title=12", "--angle", "2", "/d/VIDEO_TS"}, Command::Demux, 12, 2},
      {{"rebuild", "/d/VIDEO_TS/VTS_01_1.VOB", "--title", "1"}, Command::Rebuild, 1, {}},
      {{"read", "/d/VIDEO_TS/video_ts.ifo", "--angle", "9", "--title", "99"}, Command::Read, 99, 9},
      {{"titles", "/d"}, Command::Titles, {}, {}},
      {{"titles", "/d", "--json"}, Command::Titles, {}, {}},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto options = parse(c.args, &error);
    ASSERT_TRUE(options) << c.args[0] << ": " << error;
    EXPECT_EQ(options->command, c.command);
    EXPECT_EQ(options->title, c.title) << c.args[0];
    EXPECT_EQ(options->angle, c.angle) << c.args[0];
  }
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
  state.selection.reset();
  const int a1 = slotNumber({Family::Audio, 1});
  const int s12 = slotNumber({Family::Subpicture, 12});
  const int v0 = slotNumber({Family::Video, 0});
  for (int n : {a1, s12, v0})
    state.selection.selected[n] = true;
  state.selection.streamLabel[a1] = "DD+.stream.01";
  std::string error;
  ASSERT_TRUE(applySelection({"DD+.stream.01", "s12"}, state, &error)) << error;
  EXPECT_TRUE(state.selection.selected[a1]);
  EXPECT_TRUE(state.selection.selected[s12]);
  EXPECT_FALSE(state.selection.selected[v0]);
  EXPECT_FALSE(applySelection({"v1"}, state, &error));  // not found
  EXPECT_FALSE(applySelection({"a16"}, state, &error));
  EXPECT_TRUE(state.selection.selected[a1]);  // a failed selection changes nothing
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

TEST(CliErrors, ErrorLinesGoToStderrInTheLinesStyleOrPlainAfterKeepLines) {
  RunState state;
  TerminalHost host(state, LineStyle::Markup, false);
  host.setErrorStyle(LineStyle::Plain);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  host.log("Opening file [b]F.EVO[/b]");
  host.logError("Cannot open file \"[[x].EVO\". No such file or directory");
  host.keepLines();
  host.log("kept");
  host.logError("Cannot write file \"[[y]\". No space left on device");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Opening file [b]F.EVO[/b]\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot open file \"[x].EVO\". No such file or directory\n"
            "korvell-cli: Cannot write file \"[y]\". No space left on device\n");
  EXPECT_TRUE(host.errorShown());
}

TEST(CliInterrupt, CtrlCActsLikeCancelAtTheNextEventPoint) {
  // Runs last in this binary's order of declaration: the interrupt stays recorded.
  RunState state;
  TerminalHost host(state, LineStyle::Markup, false);
  TerminalHost::installInterruptHandler();
  state.runKind = RunKind::Demux;
  host.processEvents();
  EXPECT_FALSE(state.stop.requested());
  std::raise(SIGINT);
  EXPECT_TRUE(host.interrupted());
  testing::internal::CaptureStdout();
  host.processEvents();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cancelled.\n");
  EXPECT_EQ(state.stop.reason(), StopReason::UserCancel);
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace korvell::cli
