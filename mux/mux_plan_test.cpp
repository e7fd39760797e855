#include "mux/mux_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvell {
namespace {

DemuxedStream raw(Family family, int slot, int32_t id, Codec codec, const char* path,
                  std::optional<int32_t> delay = std::nullopt) {
  return {family, slot, id, kindOfCodec(codec), {{path, FileForm::Raw}}, delay};
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
      {Family::Subpicture,
       0,
       0x20,
       kindOfCodec(Codec::Subpicture),
       {{"s0.sub", FileForm::VobSubData}, {"s0.idx", FileForm::VobSubIndex}},
       120},
      raw(Family::Audio, 2, 0xC2, Codec::Eac3, "a2", std::nullopt),
      raw(Family::Audio, 0, 0xC0, Codec::Eac3, "a0", -40),
      raw(Family::Video, 0, 0x55, Codec::Vc1, "v0", 0),
      raw(Family::Audio, 1, 0xC1, Codec::Eac3, "a1", 250),
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
      raw(Family::Video, 1, 0xE1, Codec::Mpeg2, "v1"),
      {Family::Audio,
       0,
       0xA0,
       kindOfCodec(Codec::Lpcm),
       {{"a0.lpcm", FileForm::Raw}},
       {}},  // left out: not first
      raw(Family::Audio, 3, 0x83, Codec::Ac3, "a3"),
      raw(Family::Audio, 5, 0x8D, Codec::Dts, "a5"),
      {Family::Subpicture,
       0,
       0x20,
       kindOfCodec(Codec::Subpicture),
       {{"s0.idx", FileForm::VobSubIndex}},
       {}},
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
    Codec codec;
    std::vector<OutputFile> files;
    const char* chosen;  // null: left out
    const char* reason;
  };
  const Case cases[] = {
      {Family::Audio, Codec::Lpcm, {{"a.wav", FileForm::Wav}}, "a.wav", ""},
      {Family::Audio, Codec::Lpcm, {{"a.flac", FileForm::Flac}}, "a.flac", ""},
      {Family::Audio, Codec::Lpcm, {{"a.lpcm", FileForm::Raw}}, nullptr, "LPCM as WAV or FLAC"},
      {Family::Audio, Codec::TrueHd, {{"a.thd", FileForm::Raw}}, "a.thd", ""},
      {Family::Audio, Codec::Dts, {}, nullptr, "no file was written"},
      {Family::Subpicture,
       Codec::Subpicture,
       {{"s.sub", FileForm::VobSubData}, {"s.idx", FileForm::VobSubIndex}},
       "s.idx",
       ""},
      {Family::Subpicture, Codec::Subpicture, {{"s.sup", FileForm::Pgs}}, "s.sup", ""},
      {Family::Subpicture, Codec::Subpicture, {{"s.sup", FileForm::SupRecords}}, nullptr, "VobSub"},
      {Family::Subpicture, Codec::Subpicture, {{"s.raw", FileForm::Raw}}, nullptr, "VobSub"},
      {Family::Video, Codec::H264, {{"v.264", FileForm::Raw}}, "v.264", ""},
      {Family::Video,
       Codec::H264,
       {{"v.sup", FileForm::SupRecords}},
       nullptr,
       "reads none of its files"},
  };
  for (const Case& c : cases) {
    const MuxPlan plan =
        planMux({{c.family, 4, -1, kindOfCodec(c.codec), c.files, {}}}, nullptr, "o.mkv", "");
    if (c.chosen != nullptr) {
      ASSERT_EQ(plan.description.tracks.size(), 1u) << static_cast<int>(c.codec);
      EXPECT_EQ(plan.description.tracks[0].path, c.chosen);
      EXPECT_TRUE(plan.leftOut.empty());
    } else {
      EXPECT_TRUE(plan.description.tracks.empty()) << static_cast<int>(c.codec);
      ASSERT_EQ(plan.leftOut.size(), 1u) << static_cast<int>(c.codec);
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
      raw(Family::Audio, 0, 0x80, Codec::Ac3, "a0"),
      raw(Family::Audio, 1, 0x81, Codec::Ac3, "a1"),
      raw(Family::Audio, 2, 0x82, Codec::Ac3, "a2"),
      raw(Family::Audio, 3, -1, Codec::Ac3, "a3"),
      {Family::Subpicture,
       2,
       0x22,
       kindOfCodec(Codec::Subpicture),
       {{"s2.idx", FileForm::VobSubIndex}},
       {}},
      {Family::Subpicture,
       3,
       0x23,
       kindOfCodec(Codec::Subpicture),
       {{"s3.idx", FileForm::VobSubIndex}},
       {}},
      raw(Family::Video, 0, 0xE0, Codec::Mpeg2, "v0"),
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
