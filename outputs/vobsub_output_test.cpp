#include "outputs/vobsub_output.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/raw_outputs.h"
#include "testing/memory_file_system.h"
#include "testing/recording_host.h"

namespace korvell {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

// One pack of a .sub as an MPEG-2 program stream reader sees it.
struct Pack {
  uint64_t scr = 0;
  std::optional<uint64_t> pts;
  uint8_t substream = 0;
  std::vector<uint8_t> data;
};

uint64_t stamp33(const uint8_t* p) {  // PTS fields: 3 + 15 + 15 bits between marker bits
  return uint64_t{p[0] & 0x0Eu} << 29 | uint64_t{p[1]} << 22 | uint64_t{p[2] & 0xFEu} << 14 |
         uint64_t{p[3]} << 7 | p[4] >> 1;
}

// Reads every pack; a malformed one fails the test.
std::vector<Pack> readPacks(const std::vector<uint8_t>& sub) {
  std::vector<Pack> packs;
  EXPECT_EQ(sub.size() % kVobSubPack, 0u);
  for (size_t at = 0; at + kVobSubPack <= sub.size(); at += kVobSubPack) {
    const uint8_t* p = sub.data() + at;
    Pack pack;
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{0, 0, 1, 0xBA}));
    EXPECT_EQ(p[4] & 0xC4, 0x44);  // MPEG-2 pack header, marker bit
    pack.scr = uint64_t{p[4] & 0x38u} << 27 | uint64_t{p[4] & 0x03u} << 28 | uint64_t{p[5]} << 20 |
               uint64_t{p[6] & 0xF8u} << 12 | uint64_t{p[6] & 0x03u} << 13 | uint64_t{p[7]} << 5 |
               p[8] >> 3;
    EXPECT_EQ(p[13], 0xF8);  // no pack stuffing
    const uint8_t* pes = p + 14;
    EXPECT_EQ(std::vector<uint8_t>(pes, pes + 4), (std::vector<uint8_t>{0, 0, 1, 0xBD}));
    const size_t pesEnd = 14 + 6 + (pes[4] << 8 | pes[5]);
    EXPECT_EQ(pes[6], 0x81);
    const size_t headerLength = pes[8];
    if (pes[7] == 0x80) pack.pts = stamp33(pes + 9);
    const size_t payload = 14 + 9 + headerLength;
    pack.substream = p[payload];
    pack.data.assign(p + payload + 1, p + std::min(pesEnd, kVobSubPack));
    if (pesEnd < kVobSubPack) {  // a padding packet fills the rest exactly
      const uint8_t* pad = p + pesEnd;
      EXPECT_EQ(std::vector<uint8_t>(pad, pad + 4), (std::vector<uint8_t>{0, 0, 1, 0xBE}));
      EXPECT_EQ(pesEnd + 6 + (pad[4] << 8 | pad[5]), kVobSubPack);
    }
    EXPECT_LE(pesEnd, kVobSubPack);
    packs.push_back(std::move(pack));
  }
  return packs;
}

std::vector<uint8_t> twoBitUnit(size_t size, uint8_t fill) {
  std::vector<uint8_t> unit(size, fill);
  unit[0] = static_cast<uint8_t>(size >> 8);
  unit[1] = static_cast<uint8_t>(size);
  return unit;
}

// Sizes around the pack boundaries: 2,019 bytes fill a first pack, 2,024 a later one; a gap
// of 1 to 5 bytes is PES stuffing, 6 or more a padding packet.
TEST(VobSubPacks, UnitsComeBackWholeWithTheirTimes) {
  const uint64_t ticks = (uint64_t{1} << 32) + 123456789;  // bit 32 set
  for (size_t size : {4, 2013, 2014, 2016, 2018, 2019, 2020, 4043, 4044, 65535}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> unit(size);
    for (size_t i = 0; i < size; ++i)
      unit[i] = static_cast<uint8_t>(i ^ (i >> 8));
    std::vector<uint8_t> sub = {0xEE};  // appended, not replaced
    appendVobSubPacks(unit, ticks, 0x23, sub);
    ASSERT_EQ(sub[0], 0xEE);
    sub.erase(sub.begin());
    const std::vector<Pack> packs = readPacks(sub);
    const size_t expectedPacks = size <= 2019 ? 1 : 1 + (size - 2019 + 2023) / 2024;
    ASSERT_EQ(packs.size(), expectedPacks);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < packs.size(); ++i) {
      EXPECT_EQ(packs[i].scr, ticks);
      EXPECT_EQ(packs[i].pts, i == 0 ? std::optional(ticks) : std::nullopt);
      EXPECT_EQ(packs[i].substream, 0x23);
      joined.insert(joined.end(), packs[i].data.begin(), packs[i].data.end());
    }
    EXPECT_EQ(joined, unit);
  }
}

TEST(VobSubIndex, HeaderAndTimestampLines) {
  VobSubRequest request;
  request.streamNumber = 2;
  request.language = "DE";
  request.width = 720;
  request.height = 480;
  YcrcbPalette palette{};
  palette.fill(0x00108080);  // black
  palette[1] = 0x00EB8080;   // white
  palette[15] = 0x0051F05A;  // red
  request.palette = palette;
  EXPECT_EQ(vobSubIndexHeader(request),
            "# VobSub index file, v7 (do not modify this line!)\n#\n"
            "size: 720x480\n"
            "palette: 000000, ffffff, 000000, 000000, 000000, 000000, 000000, 000000, 000000, "
            "000000, 000000, 000000, 000000, 000000, 000000, fe0000\n\n"
            "# Language index in use\nlangidx: 2\n\n"
            "id: de, index: 2\n");
  // Unknown size and language, no palette: 720x576, "--", the default colours.
  for (const char* language : {"", "e", "english", "e\nn", "e1", "[b]"}) {
    SCOPED_TRACE(language);
    const std::string header = vobSubIndexHeader({.language = language, .width = 1920});
    EXPECT_NE(header.find("\nsize: 720x576\n"), std::string::npos);
    EXPECT_NE(header.find("\npalette: 000000, 0000ff, 00ff00, ff0000,"), std::string::npos);
    EXPECT_TRUE(header.ends_with("\nid: --, index: 0\n"));
  }
  EXPECT_TRUE(
      vobSubIndexHeader({.streamNumber = 40}).ends_with("langidx: 31\n\nid: --, index: 31\n"));
  struct Line {
    uint64_t ticks;
    uint64_t position;
    const char* text;
  };
  const Line lines[] = {
      {0, 0, "timestamp: 00:00:00:000, filepos: 000000000\n"},
      {44, 0x800, "timestamp: 00:00:00:000, filepos: 000000800\n"},  // to the nearest
      {45, 0x800, "timestamp: 00:00:00:001, filepos: 000000800\n"},
      {90 * 3723045, 0xABC800, "timestamp: 01:02:03:045, filepos: 000abc800\n"},
      {uint64_t{0xFFFFFFFF}, 0x123456789, "timestamp: 13:15:21:859, filepos: 123456789\n"},
  };
  for (const Line& line : lines)
    EXPECT_EQ(vobSubTimestampLine(line.ticks, line.position), line.text);
}

// Feeds a unit as packets of 1,000 bytes, the first with its PTS, each cut in two pieces.
void feed(StreamOutput& output, const std::vector<uint8_t>& unit, std::optional<uint32_t> pts,
          uint8_t id = 0x20) {
  for (size_t at = 0; at < unit.size(); at += 1000) {
    const size_t packet = std::min<size_t>(1000, unit.size() - at);
    const size_t half = packet / 2;
    PieceContext first{.packetStart = true, .pts = at == 0 ? pts : std::nullopt, .id = id};
    EXPECT_TRUE(output.piece(unit.data() + at, half, first).ok());
    EXPECT_TRUE(output.piece(unit.data() + at + half, packet - half, {.id = id}).ok());
  }
}

std::string text(const std::vector<uint8_t>* bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "(no file)";
}

struct Fixture {
  MemoryFileSystem files;
  RecordingHost host;
  VobSubRequest request{.path = "out/VTS_01 [1]",
                        .streamNumber = 1,
                        .language = "en",
                        .videoStartPts = 90000,
                        .supPath = "out/VTS_01 [1].sup",
                        .firstPtsMin = 45000};
  std::unique_ptr<StreamOutput> output = makeVobSubOutput(files, host, request);
  const std::vector<uint8_t>* idx() const { return files.file("out/VTS_01 [1].idx"); }
  const std::vector<uint8_t>* sub() const { return files.file("out/VTS_01 [1].sub"); }
};

TEST(VobSubOutput, TimesOnTheVideoTimelineAndOneLineForDamage) {
  Fixture f;
  feed(*f.output, twoBitUnit(100, 0x11), 90000 + 90 * 1500);
  feed(*f.output, twoBitUnit(5000, 0x22), 90000 + 90 * 61001);
  const std::vector<uint8_t> cut = twoBitUnit(3000, 0x33);
  feed(*f.output, {cut.begin(), cut.begin() + 1500}, 1000);  // cut off by the next unit
  feed(*f.output, twoBitUnit(50, 0x44), 80000);              // before the video: shown at 0
  feed(*f.output, {0, 0, 0, 0, 0, 20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, 95000);
  feed(*f.output, twoBitUnit(2000, 0x55), 90000);
  f.output->piece(twoBitUnit(10, 0x66).data(), 7, {.packetStart = true, .pts = 100000, .id = 0x20});
  EXPECT_TRUE(f.output->finish().ok());
  EXPECT_TRUE(f.output->finish().ok());  // a second finish changes nothing
  EXPECT_EQ(f.output->files(),
            (std::vector<OutputFile>{{"out/VTS_01 [1].idx", FileForm::VobSubIndex},
                                     {"out/VTS_01 [1].sub", FileForm::VobSubData}}));
  const std::string idx = text(f.idx());
  const std::string expectedTail =
      "id: en, index: 1\n"
      "timestamp: 00:00:01:500, filepos: 000000000\n"
      "timestamp: 00:01:01:001, filepos: 000000800\n"
      "timestamp: 00:00:00:000, filepos: 000002000\n"
      "timestamp: 00:00:00:000, filepos: 000002800\n";
  EXPECT_TRUE(idx.ends_with(expectedTail)) << idx;
  const std::vector<Pack> packs = readPacks(*f.sub());
  ASSERT_EQ(packs.size(), 1u + 3u + 1u + 1u);
  EXPECT_EQ(packs[0].pts, 90u * 1500);
  EXPECT_EQ(packs[4].pts, 0u);
  EXPECT_EQ(packs[5].substream, 0x21);
  // The interrupted unit, the 8-bit unit and the unit cut by the end: one line.
  EXPECT_EQ(f.host.lines, (std::vector<std::string>{
                              "Creating out/VTS_01 [[1].idx", "Creating out/VTS_01 [[1].sub",
                              "3 damaged or incomplete subpicture units skipped in "
                              "out/VTS_01 [[1].sub",
                              "1 subpicture unit starts before the video in out/VTS_01 [[1].sub: "
                              "shown at 00:00:00:000"}));
}

TEST(VobSubOutput, WithoutVideoStartTimesFollowTheEarliestPts) {
  Fixture f;
  f.request.videoStartPts.reset();
  f.output = makeVobSubOutput(f.files, f.host, f.request);
  feed(*f.output, twoBitUnit(40, 0x11), 45000 + 90 * 250);
  ASSERT_TRUE(f.output->finish().ok());
  EXPECT_TRUE(text(f.idx()).ends_with("timestamp: 00:00:00:250, filepos: 000000000\n"));
  EXPECT_EQ(f.host.lines, (std::vector<std::string>{"Creating out/VTS_01 [[1].idx",
                                                    "Creating out/VTS_01 [[1].sub"}));
}

TEST(VobSubOutput, ExtendedUnitsBecomeSupRecords) {
  Fixture f;
  std::vector<uint8_t> unit(3000, 0x5A);
  unit[0] = unit[1] = 0;
  unit[2] = 0;
  unit[3] = 0;
  unit[4] = 3000 >> 8;
  unit[5] = 3000 & 0xFF;
  // The same pieces through a plain .sup record output give the expected bytes.
  MemorySink expected;
  SupRecordOutput reference(expected, f.request.firstPtsMin);
  for (StreamOutput* output : {f.output.get(), static_cast<StreamOutput*>(&reference)}) {
    EXPECT_TRUE(
        output->piece(unit.data(), 1, {.packetStart = true, .pts = 99000, .id = 0x20}).ok());
    EXPECT_TRUE(output->piece(unit.data() + 1, 1999, {.id = 0x20}).ok());
    EXPECT_TRUE(output->piece(unit.data() + 2000, 1000, {.packetStart = true, .id = 0x20}).ok());
    feed(*output, twoBitUnit(100, 1), 150000);  // a 2-bit unit later: a record like any other
  }
  ASSERT_TRUE(f.output->finish().ok());
  EXPECT_EQ(f.files.file("out/VTS_01 [1].sup") ? *f.files.file("out/VTS_01 [1].sup")
                                               : std::vector<uint8_t>{},
            expected.bytes());
  EXPECT_EQ(f.idx(), nullptr);
  EXPECT_EQ(f.sub(), nullptr);
  EXPECT_EQ(f.output->files(),
            (std::vector<OutputFile>{{"out/VTS_01 [1].sup", FileForm::SupRecords}}));
  EXPECT_EQ(f.host.lines, (std::vector<std::string>{
                              "Subpicture stream 0x20 holds 8-bit (HD DVD) subpictures, which "
                              "VobSub cannot carry: it is written as .sup records instead",
                              "Creating out/VTS_01 [[1].sup"}));
}

TEST(VobSubOutput, StreamWithoutUnitsStillGetsItsFiles) {
  Fixture f;
  const std::vector<uint8_t> stray = {1, 2, 3};
  EXPECT_TRUE(f.output->piece(stray.data(), stray.size(), {.packetStart = true}).ok());
  EXPECT_TRUE(f.output->files().empty());
  ASSERT_TRUE(f.output->finish().ok());
  EXPECT_TRUE(text(f.idx()).ends_with("id: en, index: 1\n"));
  EXPECT_EQ(f.sub() ? f.sub()->size() : 1u, 0u);
}

TEST(VobSubOutput, FileSystemFaultsComeBackWithTheirPath) {
  struct Case {
    const char* name;
    std::function<void(MemoryFileSystem&)> fault;
    Status::Code code;
    const char* path;
  };
  const Case cases[] = {
      {"idx refused", [](MemoryFileSystem& fs) { fs.refuseCreate("out/VTS_01 [1].idx", "denied"); },
       Status::Code::CreateFailed, "out/VTS_01 [1].idx"},
      {"sub refused", [](MemoryFileSystem& fs) { fs.refuseCreate("out/VTS_01 [1].sub", "denied"); },
       Status::Code::CreateFailed, "out/VTS_01 [1].sub"},
      {"sub full", [](MemoryFileSystem& fs) { fs.limitSpace("out/VTS_01 [1].sub", 4096); },
       Status::Code::WriteFailed, "out/VTS_01 [1].sub"},
      {"idx full", [](MemoryFileSystem& fs) { fs.limitSpace("out/VTS_01 [1].idx", 300); },
       Status::Code::WriteFailed, "out/VTS_01 [1].idx"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Fixture f;
    test.fault(f.files);
    Status first;
    for (int i = 0; i < 4 && first.ok(); ++i) {
      const std::vector<uint8_t> unit = twoBitUnit(2500, 0x11);
      first = f.output->piece(unit.data(), unit.size(),
                              {.packetStart = true, .pts = 100000u + i, .id = 0x20});
    }
    EXPECT_EQ(first.code(), test.code);
    EXPECT_EQ(f.output->failedPath(), test.path);
    // Every later call gives the same failure.
    EXPECT_EQ(f.output->piece(nullptr, 0, {}), first);
    EXPECT_EQ(f.output->finish(), first);
    EXPECT_EQ(f.output->status(), first);
    f.output.reset();
    EXPECT_EQ(f.files.openFiles(), 0);
  }
}

}  // namespace
}  // namespace korvell
