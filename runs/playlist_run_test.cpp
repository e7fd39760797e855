#include "runs/playlist_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "report/markup.h"
#include "runs/session.h"
#include "testing/recording_host.h"

namespace korvell {
namespace {

using testing::RecordingHost;

const std::string kSample = std::string(KORVELL_SOURCE_DIR) + "/testdata/VPLST000.XPL";

// The tree as indented text, one node a line.
std::string dump(const PlaylistTree& tree) {
  std::string out;
  for (const auto& root : tree.roots) {
    out += root.text + "\n";
    for (const auto& child : root.children)
      out += "  " + child.text + "\n";
  }
  return out;
}

int audioBox(int i) {
  return slotNumber({Family::Audio, i});
}
int subBox(int i) {
  return slotNumber({Family::Subpicture, i});
}

// The boxes as a Read run leaves them: every one checked, with some label.
void fillBoxes(RunState& state) {
  state.selection.selected.fill(true);
  state.selection.streamLabel.fill("stale");
}

TEST(ReadPlaylist, SampleFirstFeatureFileOfATwoFileTitle) {
  RunState state;
  fillBoxes(state);
  state.registry.audioIds[2] = 0x8A;  // left by a Read run
  RecordingHost host;
  PlaylistResult result;
  readPlaylist(state, host, kSample, "FEATURE_1", &result);

  // Both clips of the title list the same streams: each is listed once.
  EXPECT_EQ(dump(result.tree),
            "Info\n  Title: Korvell Sample Disc\n  Name: Feature Presentation\n"
            "  Duration: 00:02:00:00\n"
            "Video\n  VC-1.stream.0\n"
            "Audio\n  DD+.6ch.stream.00.English\n  MLP.6ch.stream.01.English\n"
            "  DTS.stream.02.French\n"
            "Subtitle\n  2bitRLE.stream.00.English\n  8bitRLE.stream.01.French\n"
            "Chapter\n  00:00:00:00: Opening\n  00:00:40:00: The Crossing\n"
            "  00:01:20:00: Closing\n");
  EXPECT_EQ(result.lines.front().find("    <Title id=\"Feature\""), 0u);
  EXPECT_EQ(result.lines.back(), "    </Title>");

  std::vector<int> checked;
  for (int n = 0; n < kSelectableSlots; ++n) {
    EXPECT_EQ(state.selection.selected[n], result.enabled[n]) << n;
    if (state.selection.selected[n]) checked.push_back(n);
  }
  EXPECT_EQ(checked,
            (std::vector<int>{0, audioBox(0), audioBox(1), audioBox(2), subBox(0), subBox(1)}));
  EXPECT_EQ(state.selection.streamLabel[audioBox(1)], "MLP.6ch.stream.01.English");
  EXPECT_EQ(state.selection.streamLabel[subBox(1)], "8bitRLE.stream.01.French");
  EXPECT_EQ(state.selection.streamLabel[1], "No video stream");
  EXPECT_EQ(state.selection.streamLabel[audioBox(3)], "No audio stream");
  EXPECT_EQ(state.selection.streamLabel[subBox(2)], "No subpicture");
  // The registry stays what the last Read run found: the rebuild pass relies on it.
  EXPECT_EQ(state.registry.audioIds[2], 0x8A);
  EXPECT_EQ(state.registry.audioIds[3], -1);

  EXPECT_EQ(host.transcript(), "Open " + kSample + "\nFilesize: " +
                                   std::to_string(std::filesystem::file_size(kSample)) +
                                   " bytes\nVC-1.stream.0 found!\n"
                                   "DD+.6ch.stream.00.English found!\n"
                                   "MLP.6ch.stream.01.English found!\n"
                                   "DTS.stream.02.French found!\n"
                                   "2bitRLE.stream.00.English found!\n"
                                   "8bitRLE.stream.01.French found!\nDone.\n\n");
  EXPECT_EQ(host.started, std::vector<RunKind>{RunKind::Playlist});
  EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Playlist});
  EXPECT_EQ(host.selectionChanges, 2);
  EXPECT_EQ(host.statusTexts[0], std::vector<std::string>{"Ready"});
}

TEST(ReadPlaylist, SampleTrailerFile) {
  RunState state;
  RecordingHost host;
  PlaylistResult result;
  readPlaylist(state, host, kSample, "FEATURE_3", &result);
  EXPECT_EQ(dump(result.tree),
            "Info\n  Title: Korvell Sample Disc\n  Name: Trailer\n  Duration: 00:00:30:00\n"
            "Video\n  MPEG-2.stream.0\nAudio\n  DD+.stream.00.English\nSubtitle\n"
            "Chapter\n  00:00:00:00: Trailer\n");
}

TEST(ReadPlaylist, PlaylistWithoutTheBaseNameKeepsTheTreeAndResetsTheBoxes) {
  RunState state;
  fillBoxes(state);
  RecordingHost host;
  PlaylistResult result;
  result.tree.roots.push_back({"Earlier", {{"kept", {}}}});
  const PlaylistTree before = result.tree;
  readPlaylist(state, host, kSample, "FEATURE_1_FEATURE_2", &result);

  EXPECT_FALSE(result.titleFound);
  EXPECT_EQ(result.tree, before);
  EXPECT_EQ(result.lines.back(), "</Playlist>");  // every tag kept
  for (int n = 0; n < kSelectableSlots; ++n) {
    EXPECT_FALSE(state.selection.selected[n]) << n;
    EXPECT_NE(state.selection.streamLabel[n], "stale") << n;
  }
  EXPECT_EQ(host.lines.back(), "");
}

TEST(ReadPlaylist, ChaptersFollowTheSelectedTitle) {
  constexpr int64_t kSecond = 1'000'000'000;
  RunState state;
  RecordingHost host;
  PlaylistResult result;
  readPlaylist(state, host, kSample, "FEATURE_1", &result);
  EXPECT_EQ(result.chapters, (std::vector<Chapter>{{0, "Opening", "en"},
                                                   {40 * kSecond, "The Crossing", "en"},
                                                   {80 * kSecond, "Closing", "en"}}));
  // A missing file leaves them; a reading that selects no title empties them.
  readPlaylist(state, host, std::string(KORVELL_SOURCE_DIR) + "/testdata/NO_SUCH.XPL", "FEATURE_1",
               &result);
  EXPECT_EQ(result.chapters.size(), 3u);
  readPlaylist(state, host, kSample, "FEATURE_1_FEATURE_2", &result);
  EXPECT_TRUE(result.chapters.empty());
}

TEST(ReadPlaylist, FileThatCannotBeOpened) {
  RunState state;
  RecordingHost host;
  PlaylistResult result;
  result.lines = {"<Earlier/>"};
  const std::string path = std::string(KORVELL_SOURCE_DIR) + "/testdata/NO_SUCH.XPL";
  readPlaylist(state, host, path, "FEATURE_1", &result);

  EXPECT_EQ(host.lines,
            std::vector<std::string>{"Cannot open file \"" + path + "\". " + systemReason(ENOENT)});
  EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Playlist});
  EXPECT_EQ(result.lines, std::vector<std::string>{"<Earlier/>"});
}

TEST(ReadPlaylist, TagSplitOverTwoReadBlocksIsCollectedWhole) {
  std::string xpl = "<?xml version=\"1.0\"?>\n<Playlist>\n<!--";
  // The first block ends 20 bytes into the attribute item, after "index=".
  xpl.append(kPlaylistReadBlock - xpl.size() - 3 - 20, ' ');
  xpl +=
      "-->\n<AudioAttributeItem index=\"1\" codec=\"DD+\"/>\n"
      "<Title><Clip src=\"MOVIE.MAP\"/>\n"
      "<Audio streamNumber=\"1\" mediaAttr=\"1\" description=\"English\"/></Title></Playlist>";
  const std::vector<uint8_t> bytes(xpl.begin(), xpl.end());
  MemorySource source(bytes);
  RunState state;
  RecordingHost host;
  PlaylistResult result;
  readPlaylistFrom(state, host, "mem.XPL", source, "MOVIE", &result);

  EXPECT_EQ(result.tables.audioAttr[1], "DD+");
  EXPECT_EQ(state.selection.streamLabel[audioBox(0)], "DD+.stream.00.English");
  const std::string size = std::to_string(bytes.size());
  EXPECT_EQ(host.statusTexts[1], (std::vector<std::string>{"262144/" + size + " bytes",
                                                           size + "/" + size + " bytes", ""}));
}

TEST(ReadPlaylist, ABoxThatHoldsAMovedStreamIsNotNamedByThePlaylist) {
  // The last Read run found AC-3 0x80 in audio slot 0 and DTS 0x88, whose slot 0 was held, in
  // slot 1. The playlist's stream 2 (box 1) is not that DTS stream.
  const std::string xpl =
      "<Playlist><AudioAttributeItem index=\"1\" codec=\"DD\"/>\n<Title><Clip "
      "src=\"MOVIE.MAP\"/>\n<Audio streamNumber=\"1\" mediaAttr=\"1\" description=\"A\"/>\n"
      "<Audio streamNumber=\"2\" mediaAttr=\"1\" description=\"B\"/></Title></Playlist>";
  const std::vector<uint8_t> bytes(xpl.begin(), xpl.end());
  MemorySource source(bytes);
  RunState state;
  state.registry.audioIds[0] = 0x80;
  state.registry.audioIds[1] = 0x88;
  RecordingHost host;
  PlaylistResult result;
  readPlaylistFrom(state, host, "mem.XPL", source, "MOVIE", &result);
  EXPECT_TRUE(state.selection.selected[audioBox(0)]);
  EXPECT_EQ(state.selection.streamLabel[audioBox(0)], "DD.stream.00.A");
  EXPECT_FALSE(state.selection.selected[audioBox(1)]);
  EXPECT_EQ(state.selection.streamLabel[audioBox(1)], "No audio stream");
  EXPECT_NE(std::find(host.lines.begin(), host.lines.end(),
                      "DD.stream.01.B: its box holds another stream of the file, so the file "
                      "has no such stream."),
            host.lines.end());
}

TEST(ReadPlaylist, LabelsWithBracketsAreShownAndNamedAsTheyAre) {
  for (const std::string description : {"Eng[lish", "Eng]lish", "[b]Eng[/b]", "[[x"}) {
    const std::string xpl =
        "<Playlist><AudioAttributeItem index=\"1\" codec=\"DD+\"/>\n<Title><Clip "
        "src=\"MOVIE.MAP\"/>\n<Audio streamNumber=\"1\" mediaAttr=\"1\" description=\"" +
        description + "\"/></Title></Playlist>";
    const std::vector<uint8_t> bytes(xpl.begin(), xpl.end());
    MemorySource source(bytes);
    RunState state;
    RecordingHost host;
    PlaylistResult result;
    readPlaylistFrom(state, host, "mem.XPL", source, "MOVIE", &result);
    const std::string label = "DD+.stream.00." + description;
    EXPECT_EQ(state.selection.streamLabel[audioBox(0)], label);
    const auto found = std::find_if(host.lines.begin(), host.lines.end(),
                                    [](const auto& line) { return line.ends_with(" found!"); });
    ASSERT_NE(found, host.lines.end()) << description;
    EXPECT_EQ(markupProblem(*found), "") << *found;
    EXPECT_EQ(stripMarkup(*found), label + " found!");
  }
}

// A source that hands out its first `good` bytes and then fails as a damaged disc would.
class FailingSource final : public ByteSource {
 public:
  FailingSource(std::string bytes, size_t good) : bytes_(std::move(bytes)), good_(good) {}
  Status read(uint8_t* dst, size_t n, size_t& got) override {
    got = std::min(n, good_ - position_);
    if (got == 0) {
      status_ = Status::failure(Status::Code::ReadFailed, systemReason(EIO));
      return status_;
    }
    std::copy_n(bytes_.data() + position_, got, dst);
    position_ += got;
    return {};
  }
  uint64_t size() const override { return bytes_.size(); }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  std::string bytes_;
  size_t good_;
  size_t position_ = 0;
  Status status_;
};

TEST(ReadPlaylist, AReadFailureSelectsNoTitleAndReportsNoDone) {
  std::ifstream in(kSample, std::ios::binary);
  std::string xpl{std::istreambuf_iterator<char>(in), {}};
  // The title lies in the first block; the failure comes in the second.
  xpl.append(kPlaylistReadBlock, ' ');
  FailingSource source(xpl, kPlaylistReadBlock);
  RunState state;
  fillBoxes(state);
  RecordingHost host;
  PlaylistResult result;
  result.lines = {"<Earlier/>"};
  EXPECT_FALSE(readPlaylistFrom(state, host, "VPLST000.XPL", source, "FEATURE_1", &result));

  EXPECT_EQ(host.lines.back(), "Cannot read file \"VPLST000.XPL\". " + systemReason(EIO));
  EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), "Done."), 0);
  EXPECT_FALSE(result.titleFound);
  EXPECT_EQ(result.lines, std::vector<std::string>{"<Earlier/>"});
  EXPECT_EQ(state.selection.selected, decltype(state.selection.selected){});
  EXPECT_EQ(host.finished, std::vector<RunKind>{RunKind::Playlist});
}

// The session binds a reading to the input it was made for: a new input forgets it, so neither
// its chapters nor its names reach a run on another file.
TEST(ReadPlaylist, AReadingBelongsToTheSessionsInputOnly) {
  RunState state;
  RecordingHost host;
  Session session;
  ASSERT_TRUE(session.open("/disc/HVDVD_TS/FEATURE_1.EVO").ok());
  ASSERT_TRUE(session.readPlaylist(state, host, kSample));  // the title FEATURE_1 plays
  RunSettings settings;
  session.applyTo(settings, "");
  EXPECT_EQ(settings.chapters.size(), 3u);
  EXPECT_EQ(settings.chaptersSource, "/disc/HVDVD_TS/FEATURE_1.EVO");
  EXPECT_NE(session.playlistTitle(), nullptr);
  ASSERT_TRUE(session.open("/disc/HVDVD_TS/FEATURE_2.EVO").ok());
  session.applyTo(settings, "");
  EXPECT_TRUE(settings.chapters.empty());
  EXPECT_EQ(session.playlistTitle(), nullptr);
  const std::pair<const char*, NamedFileRole> roles[] = {
      {"a/FEATURE_1.evo", NamedFileRole::Source}, {"VTS_01_1.VOB", NamedFileRole::Source},
      {"ATS_01_1.AOB", NamedFileRole::Source},    {"movie.ISO", NamedFileRole::Source},
      {"VPLST001.xpl", NamedFileRole::Playlist},  {"notes.txt", NamedFileRole::None}};
  for (const auto& [path, role] : roles)
    EXPECT_EQ(namedFileRole(path), role) << path;
}

}  // namespace
}  // namespace korvell
