#include "disc/dvd_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/packs.h"
#include "testing/dvd_test_disc.h"
#include "testing/test_files.h"

namespace korvell::dvd {
namespace {

TEST(DvdLayout, PlaybackTimesAsLsdvdCountsThem) {
  struct Case {
    BcdTime time;
    int64_t ms;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x01, 0x40 | 0x23}, 1920},        // 1 s 23 frames at 25 fps
      {{0x01, 0x02, 0x03, 0x40}, 3723000},            // 1:02:03
      {{0x12, 0x59, 0x59, 0x40 | 0x24}, 46799960},    // tens digits everywhere
      {{0x00, 0x00, 0x01, 0xC0 | 0x15}, 1000 + 500},  // 15 frames at 29.97: 500.5
      {{0x00, 0x00, 0x00, 0xC0 | 0x29}, 967},         // 29 frames: 967.6, rounded down
      {{0x00, 0x00, 0x02, 0x00 | 0x10}, 2000},        // no frame rate: no frames
      {{0x00, 0x00, 0x02, 0x80 | 0x10}, 2000},        // the reserved rate neither
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bcdTimeMs(c.time), c.ms) << int{c.time.second} << " " << int{c.time.frame};
  }
}

TEST(DvdLayout, StreamIdentifiersAndNames) {
  struct Audio {
    int format, number, id;
    const char* codec;
  };
  const Audio audio[] = {{0, 0, 0x80, "AC-3"},
                         {0, 7, 0x87, "AC-3"},
                         {6, 1, 0x89, "DTS"},
                         {4, 2, 0xA2, "LPCM"},
                         {2, 0, 0xC0, "MPEG audio"},
                         {3, 3, 0xC3, "MPEG audio"},
                         {5, 0, -1, "SDDS"},
                         {1, 0, -1, ""},
                         {7, 0, -1, ""}};
  for (const Audio& a : audio) {
    EXPECT_EQ(audioStreamId(a.format, a.number), a.id) << a.format << " " << a.number;
    EXPECT_EQ(audioCodecName(a.format), a.codec) << a.format;
  }
  EXPECT_EQ(audioSampleRate(0), 48000);
  EXPECT_EQ(audioSampleRate(1), 96000);
  EXPECT_EQ(audioSampleRate(2), 0);
  // Stream numbers 4:3 = 1, wide = 2, letterbox = 3, pan-scan = 4, and the availability bit.
  EXPECT_EQ(subpictureStreamId(0x81020304, 0), 0x21);
  EXPECT_EQ(subpictureStreamId(0x81020304, 3), 0x22);
  EXPECT_EQ(subpictureStreamId(0x9F1F0000, 0), 0x3F);
  struct Language {
    uint16_t code;
    const char* text;
  };
  const Language languages[] = {{'e' << 8 | 'n', "en"},
                                {'D' << 8 | 'E', "de"},
                                {0, ""},
                                {'x' << 8 | 0xFF, ""},
                                {'1' << 8 | 'a', ""}};
  for (const Language& l : languages)
    EXPECT_EQ(languageCode(l.code), l.text) << l.code;
}

TEST(DvdLayout, SectorRangesBecomeByteRangesOfTheParts) {
  const std::vector<VobPart> parts = {{"a", 0, 10}, {"b", 10, 5}, {"c", 15, 0}, {"d", 15, 4}};
  struct Case {
    const char* name;
    std::vector<SectorRange> ranges;
    std::optional<std::vector<FileExtent>> extents;
  };
  const Case cases[] = {
      {"inside one part", {{2, 3}}, std::vector<FileExtent>{{"a", 4096, 4096}}},
      {"across a part boundary",
       {{9, 10}},
       std::vector<FileExtent>{{"a", 18432, 2048}, {"b", 0, 2048}}},
      {"adjacent ranges joined", {{0, 1}, {2, 2}}, std::vector<FileExtent>{{"a", 0, 6144}}},
      {"a gap kept", {{0, 0}, {2, 2}}, std::vector<FileExtent>{{"a", 0, 2048}, {"a", 4096, 2048}}},
      {"backwards",
       {{11, 11}, {1, 1}},
       std::vector<FileExtent>{{"b", 2048, 2048}, {"a", 2048, 2048}}},
      {"past an empty part",
       {{14, 15}},
       std::vector<FileExtent>{{"b", 8192, 2048}, {"d", 0, 2048}}},
      {"the last sector", {{18, 18}}, std::vector<FileExtent>{{"d", 6144, 2048}}},
      {"one past the end", {{18, 19}}, std::nullopt},
      {"an inverted range is nothing", {{5, 4}}, std::vector<FileExtent>{}},
  };
  std::vector<FileExtent> extents;
  for (const Case& c : cases) {
    const bool found = fileExtents(c.ranges, parts, &extents).ok();
    EXPECT_EQ(found ? std::optional(extents) : std::nullopt, c.extents) << c.name;
  }
  EXPECT_EQ(fileExtents({{0, 0}}, {}, &extents).code(), Status::Code::Invalid);
}

TEST(DvdLayout, InterleavedUnitsOfOneAngle) {
  // Two angles interleaved in units of ten sectors: this angle's units at 0, 20 and 40.
  const std::map<uint64_t, InterleavedUnit> packs = {
      {0, {true, 9, 20}}, {20, {true, 9, 20}}, {40, {true, 9, 0x7FFFFFFF}}};
  const auto from = [](std::map<uint64_t, InterleavedUnit> units) {
    return [units](uint64_t sector) -> std::optional<InterleavedUnit> {
      const auto found = units.find(sector);
      if (found == units.end()) return std::nullopt;
      return found->second;
    };
  };
  struct Case {
    const char* name;
    std::map<uint64_t, InterleavedUnit> units;
    uint64_t last;
    std::vector<SectorRange> ranges;
  };
  const Case cases[] = {
      {"three units", packs, 49, {{0, 9}, {20, 29}, {40, 49}}},
      {"the cell ends inside a unit", packs, 25, {{0, 9}, {20, 25}}},
      {"not interleaved: the whole cell", {{0, {false, 0, 0}}}, 49, {{0, 49}}},
      {"no navigation pack: the whole cell", {}, 49, {{0, 49}}},
      {"a unit that cannot be read ends the cell", {{0, {true, 9, 20}}}, 49, {{0, 9}}},
      {"a next unit behind ends the cell", {{0, {true, 9, 5}}}, 49, {{0, 9}}},
      {"no next unit", {{0, {true, 9, 0}}}, 49, {{0, 9}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(followInterleavedUnits(0, c.last, from(c.units)), c.ranges) << c.name;
}

// A navigation pack with the seamless playback fields of its data search packet set.
std::vector<uint8_t> navigationPack(uint16_t category, uint32_t end, uint32_t next) {
  std::vector<uint8_t> pack(kPackSize);
  const uint8_t header[] = {0, 0, 1, 0xBA, 0x44};
  std::copy(std::begin(header), std::end(header), pack.begin());
  const uint8_t dsi[] = {0, 0, 1, 0xBF, 0x03, 0xFA, 0x01};
  std::copy(std::begin(dsi), std::end(dsi), pack.begin() + 0x400);
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      pack[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  pack[0x427] = static_cast<uint8_t>(category >> 8);
  pack[0x428] = static_cast<uint8_t>(category);
  put32(0x429, end);
  put32(0x42D, next);
  return pack;
}

TEST(DvdLayout, NavigationPackFields) {
  const auto unit = readInterleavedUnit(navigationPack(0x5000, 0x1234, 0x56789).data());
  ASSERT_TRUE(unit.has_value());
  EXPECT_TRUE(unit->interleaved);
  EXPECT_EQ(unit->endOffset, 0x1234u);
  EXPECT_EQ(unit->nextOffset, 0x56789u);
  EXPECT_FALSE(readInterleavedUnit(navigationPack(0x8000, 1, 2).data())->interleaved);
  auto notNavigation = navigationPack(0x4000, 1, 2);
  notNavigation[0x406] = 0x00;  // the presentation control packet's substream
  EXPECT_FALSE(readInterleavedUnit(notNavigation.data()).has_value());
  // dvdauthor interleaves nothing; its first pack is a navigation pack, the next is not.
  const auto& disc = testing::dvdTestDisc();
  if (disc.folder.empty()) GTEST_SKIP() << disc.missingTool << disc.failure;
  auto vob = testing::readFileBytes(disc.folder / "VIDEO_TS" / "VTS_01_1.VOB");
  ASSERT_GT(vob.size(), 2 * kPackSize);
  EXPECT_FALSE(readInterleavedUnit(vob.data()).value().interleaved);
  EXPECT_FALSE(readInterleavedUnit(vob.data() + kPackSize).has_value());
}

}  // namespace
}  // namespace korvell::dvd
