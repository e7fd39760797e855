#include "mux/mux_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvell {
namespace {

DemuxedStream raw(Family family, int slot, int32_t id, const char* codec, const char* path,
                  std::optional<int32_t> delay = std::nullopt) {
  return {family, slot, id, codec, {{path, "raw"}}, delay};
}

// An HD DVD title: the playlist gives languages as "en:00" and descriptions, no identifiers.
Title hdDvdTitle() {
  Title title;
  title.name = "Feature \"One\"";
  title.streams = {
      {Family::Video, -1, 0, "", "", "VC-1"},
      {Family::Audio, -1, 0, "en:00", "English", "DD+"},
      {Family::Audio, -1, 1, "fr:00", "", "DD+"},
      {Family::Audio, -1, 2, "", "", "DD+"},
      {Family::Subpicture, -1, 0, "de:00", "", ""},
  };
  title.streams.back().forced = true;
  title.chapters = {{0, "Start", "en"}};
  return title;
}

TEST(MuxPlan, OrderDefaultsSyncLanguagesAndNames) {
  // Given out of order, with delays on every family.
  const std::vector<DemuxedStream> streams = {
      {Family::Subpicture, 0, 0x20, "dvd_subtitle", {{"s0.sub", "sub"}, {"s0.idx", "idx"}}, 120},
      raw(Family::Audio, 2, 0xC2, "eac3", "a2", std::nullopt),
      raw(Family::Audio, 0, 0xC0, "eac3", "a0", -40),
      raw(Family::Video, 0, 0x55, "vc1", "v0", 0),
      raw(Family::Audio, 1, 0xC1, "eac3", "a1", 250),
  };
  const Title title = hdDvdTitle();
  const MuxPlan plan = planMux(streams, &title, "/out/F.mkv", "/tmp/k/F.chapters.txt");
  EXPECT_TRUE(plan.leftOut.empty());
  const MuxDescription& d = plan.description;
  EXPECT_EQ(d.outputPath, "/out/F.mkv");
  EXPECT_EQ(d.title, "Feature \"One\"");
  EXPECT_EQ(d.chaptersPath, "/tmp/k/F.chapters.txt");
  const std::vector<MuxTrack> expected = {
      {Family::Video, "v0", "und", "VC-1", true, 0},
      {Family::Audio, "a0", "eng", "English", true, -40},         // the description
      {Family::Audio, "a1", "fre", "French E-AC-3", false, 250},  // made up
      {Family::Audio, "a2", "und", "E-AC-3", false, 0},           // no language, no delay
      {Family::Subpicture, "s0.idx", "ger", "German VobSub", false, 0, true},  // never synced
  };
  EXPECT_EQ(d.tracks, expected);
}

TEST(MuxPlan, DefaultFlagsGoToTheFirstVideoAndAudioOnly) {
  const std::vector<DemuxedStream> streams = {
      raw(Family::Video, 1, 0xE1, "mpeg2video", "v1"),
      {Family::Audio, 0, 0xA0, "lpcm", {{"a0.lpcm", "raw"}}, {}},  // left out: not first
      raw(Family::Audio, 3, 0x83, "ac3", "a3"),
      raw(Family::Audio, 5, 0x8D, "dts", "a5"),
      {Family::Subpicture, 0, 0x20, "dvd_subtitle", {{"s0.idx", "idx"}}, {}},
  };
  const MuxPlan plan = planMux(streams, nullptr, "o.mkv", "");
  std::vector<std::pair<std::string, bool>> flags;
  for (const MuxTrack& t : plan.description.tracks)
    flags.emplace_back(t.path, t.isDefault);
  EXPECT_EQ(flags, (std::vector<std::pair<std::string, bool>>{
                       {"v1", true}, {"a3", true}, {"a5", false}, {"s0.idx", false}}));
}

// Which file of a stream mkvmerge is given, and which streams it cannot take.
TEST(MuxPlan, InputFilesByForm) {
  struct Case {
    Family family;
    const char* codec;
    std::vector<OutputFile> files;
    const char* chosen;  // null: left out
    const char* reason;
  };
  const Case cases[] = {
      {Family::Audio, "lpcm", {{"a.wav", "wav"}}, "a.wav", ""},
      {Family::Audio, "lpcm", {{"a.flac", "flac"}}, "a.flac", ""},
      {Family::Audio, "lpcm", {{"a.lpcm", "raw"}}, nullptr, "LPCM as WAV or FLAC"},
      {Family::Audio, "truehd", {{"a.thd", "raw"}}, "a.thd", ""},
      {Family::Audio, "dts", {}, nullptr, "no file was written"},
      {Family::Subpicture, "dvd_subtitle", {{"s.sub", "sub"}, {"s.idx", "idx"}}, "s.idx", ""},
      {Family::Subpicture, "dvd_subtitle", {{"s.sup", "pgs"}}, "s.sup", ""},
      {Family::Subpicture, "dvd_subtitle", {{"s.sup", "sup"}}, nullptr, "VobSub"},
      {Family::Subpicture, "dvd_subtitle", {{"s.raw", "raw"}}, nullptr, "VobSub"},
      {Family::Video, "h264", {{"v.264", "raw"}}, "v.264", ""},
      {Family::Video, "h264", {{"v.x", "strange"}}, nullptr, "reads none of its files"},
  };
  for (const Case& c : cases) {
    const MuxPlan plan = planMux({{c.family, 4, -1, c.codec, c.files, {}}}, nullptr, "o.mkv", "");
    if (c.chosen != nullptr) {
      ASSERT_EQ(plan.description.tracks.size(), 1u) << c.codec;
      EXPECT_EQ(plan.description.tracks[0].path, c.chosen);
      EXPECT_TRUE(plan.leftOut.empty());
    } else {
      EXPECT_TRUE(plan.description.tracks.empty()) << c.codec;
      ASSERT_EQ(plan.leftOut.size(), 1u) << c.codec;
      EXPECT_EQ(plan.leftOut[0].family, c.family);
      EXPECT_EQ(plan.leftOut[0].slot, 4);
      EXPECT_NE(plan.leftOut[0].reason.find(c.reason), std::string::npos) << plan.leftOut[0].reason;
    }
  }
}

// A DVD title names its streams' identifiers: those decide, not the numbers; where either side
// does not know its identifier the number is matched against the slot.
TEST(MuxPlan, TitleStreamsMatchByIdentifierThenNumber) {
  Title title;
  title.streams = {
      {Family::Audio, 0x81, 0, "de", "", "AC-3"},  // number 0 but identifier of slot 1
      {Family::Audio, 0x80, 1, "en", "", "AC-3"},          {Family::Audio, -1, 2, "es", "", ""},
      {Family::Subpicture, 0x22, 2, "it", "Italiano", ""}, {Family::Video, -1, 0, "ja", "", ""},
  };
  const std::vector<DemuxedStream> streams = {
      raw(Family::Audio, 0, 0x80, "ac3", "a0"),
      raw(Family::Audio, 1, 0x81, "ac3", "a1"),
      raw(Family::Audio, 2, 0x82, "ac3", "a2"),
      raw(Family::Audio, 3, -1, "ac3", "a3"),
      {Family::Subpicture, 2, 0x22, "dvd_subtitle", {{"s2.idx", "idx"}}, {}},
      {Family::Subpicture, 3, 0x23, "dvd_subtitle", {{"s3.idx", "idx"}}, {}},
      raw(Family::Video, 0, 0xE0, "mpeg2video", "v0"),
  };
  const MuxPlan plan = planMux(streams, &title, "o.mkv", "c.txt");
  std::vector<std::pair<std::string, std::string>> got;
  for (const MuxTrack& t : plan.description.tracks)
    got.emplace_back(t.language, t.name);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                     {"jpn", "Japanese MPEG-2"},
                     {"eng", "English AC-3"},
                     {"ger", "German AC-3"},
                     {"spa", "Spanish AC-3"},
                     {"und", "AC-3"},  // slot 3: no stream numbered 3
                     {"ita", "Italiano"},
                     {"und", "VobSub"}}));
  // A title without chapters and without a name: neither chapters nor a segment title.
  EXPECT_EQ(plan.description.chaptersPath, "");
  EXPECT_EQ(plan.description.title, "");
}

}  // namespace
}  // namespace korvell
