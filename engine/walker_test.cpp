#include "engine/walker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/packs.h"
#include "engine/read_buffer.h"
#include "testing/memory_outputs.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using testing::PesFields;
using testing::PsWriter;
using testing::RecordingHost;

constexpr uint64_t kMib = 1048576;

std::vector<uint8_t> filled(size_t n, uint8_t value) {
  return std::vector<uint8_t>(n, value);
}

// Runs one pass over bytes; the state keeps what the pass left.
struct Pass {
  testing::PassValues state;
  RecordingHost host;
  bool ok = true;

  void run(const std::vector<uint8_t>& bytes, WalkMode mode) {
    MemorySource source(bytes);
    ok = demux(state.walker(source), host, mode).ok();
  }
  bool logged(const std::string& line) const {
    return std::find(host.lines.begin(), host.lines.end(), line) != host.lines.end();
  }
};

TEST(Walker, ReportsEachStreamOnceWithSlotAndFirstPts) {
  PsWriter ps;
  ps.packHeader().pes(0xE0, filled(100, 0x11), {.pts = 0x1000, .dts = 0x0F00});
  ps.packHeader().privateStream1(0x81, filled(50, 0x22), {.pts = 0x2000});
  ps.packHeader().privateStream1(0x81, filled(50, 0x22), {.pts = 0x3000});
  ps.packHeader().privateStream1(0x23, filled(20, 0x33), {.pts = 0x4000});
  ps.packHeader().privateStream1(0x6A, filled(20, 0x33), {.pts = 0x5000});
  Pass pass;
  pass.run(ps.bytes(), WalkMode::Scan);
  const std::vector<std::string> expected = {
      "[b]MPEG-2[/b] video stream 0 found!",
      "   First PTS = [re]00001000[/re]",
      "   Substream id = E0",
      "[b]Dolby Digital[/b] audio stream 1 found!",
      "   First PTS = [re]00002000[/re]",
      "   Substream id = 81",
      "[b]Subpicture[/b] stream 3 found!",
      "   First PTS = [re]00004000[/re]",
      "   Substream id = 23",
      "   Format = [bl]2bitRLE[/bl]",
      "[b]Extended subpicture[/b] stream 10 found!",
      "   First PTS = [re]00005000[/re]",
      "   Substream id = 6A",
      "   Format = [bl]2bitRLE[/bl]",
  };
  EXPECT_EQ(pass.host.lines, expected);
  EXPECT_EQ(pass.state.registry.videoIds[0], 0xE0);
  EXPECT_EQ(pass.state.registry.audioIds[1], 0x81);
  EXPECT_EQ(pass.state.registry.subIds[3], 0x23);
  EXPECT_EQ(pass.state.registry.subIds[10], 0x6A);
  EXPECT_EQ(pass.state.results.firstPtsMin, 0x1000u);  // subpictures do not lower it
}

TEST(Walker, StreamKindsAndSlots) {
  struct Case {
    uint8_t id;
    const char* found;
    int slot;
  };
  const Case cases[] = {
      {0x80, "[b]Dolby Digital[/b] audio stream 0 found!", 0},
      {0x8B, "[b]DTS HD (DTS)[/b] audio stream 3 found!", 3},
      {0xCB, "[b]Dolby Digital[/b] Plus audio stream 11 found!", 11},
      {0xA5, "[b]LPCM[/b] audio stream 5 found!", 5},
      {0xB6, "[b]Dolby TrueHD[/b] audio stream 6 found!", 6},
  };
  for (const auto& c : cases) {
    Pass pass;
    pass.state.options.Details = false;
    PsWriter ps;
    ps.packHeader().privateStream1(c.id, filled(30, 0x44), {.pts = 1});
    pass.run(ps.bytes(), WalkMode::Scan);
    ASSERT_EQ(pass.host.lines.size(), 1u) << int{c.id};
    EXPECT_EQ(pass.host.lines[0], c.found);
    EXPECT_EQ(pass.state.registry.audioIds[c.slot], c.id);
  }
}

TEST(Walker, MlpInAudioObjectAndVideoKinds) {
  PsWriter ps;
  ps.packHeader().privateStream1(0xA1, filled(30, 0x44));
  ps.packHeader().pes(0xE3, filled(30, 0x44));
  ps.packHeader().pes(0xFD, filled(30, 0x44), {.streamIdExtension = 0x55});
  Pass pass;
  pass.state.options.Details = false;
  pass.state.sourcePath = "/disc/AUDIO_TS/ATS_01_1.aob";
  pass.run(ps.bytes(), WalkMode::Scan);
  const std::vector<std::string> expected = {"[b]MLP[/b] audio stream 1 found!",
                                             "[b]H.264 (AVC)[/b] video stream 1 found!",
                                             "[b]VC-1[/b] video stream 0 found!"};
  EXPECT_EQ(pass.host.lines, expected);
  EXPECT_EQ(pass.state.registry.videoIds[0], 0x55);
  EXPECT_EQ(pass.state.registry.videoIds[1], 0xE3);
}

TEST(Walker, FirstClaimerKeepsTheSlotAndACollidingStreamTakesTheNextFreeOne) {
  PsWriter ps;
  ps.packHeader().privateStream1(0x80, filled(10, 0xAC));
  ps.packHeader().privateStream1(0x81, filled(10, 0xA1));
  ps.packHeader().privateStream1(0x88, filled(10, 0xD7));  // DTS: audio slot 0 is held
  ps.packHeader().privateStream1(0xA0, filled(10, 0x1C));  // LPCM: 0 and 1 are held
  ps.packHeader().privateStream1(0x88, filled(10, 0xD8));
  ps.packHeader().privateStream1(0x25, filled(5, 0x01));
  ps.packHeader().privateStream1(0x65, filled(5, 0x02));  // extended subpicture, slot 5
  ps.packHeader().privateStream1(0x2F, filled(5, 0x03));
  ps.packHeader().privateStream1(0x6F, filled(5, 0x04));  // slot 15 held: wraps to slot 0
  Pass scan;
  scan.state.options.Details = false;
  scan.run(ps.bytes(), WalkMode::Scan);
  EXPECT_EQ(
      scan.host.lines,
      (std::vector<std::string>{
          "[b]Dolby Digital[/b] audio stream 0 found!",
          "[b]Dolby Digital[/b] audio stream 1 found!", "[b]DTS HD (DTS)[/b] audio stream 2 found!",
          "[b]LPCM[/b] audio stream 3 found!", "[b]Subpicture[/b] stream 5 found!",
          "[b]Extended subpicture[/b] stream 6 found!", "[b]Subpicture[/b] stream 15 found!",
          "[b]Extended subpicture[/b] stream 0 found!"}));
  EXPECT_EQ(scan.state.registry.slotHolding(Family::Audio, 0x88), (Slot{Family::Audio, 2}));
  EXPECT_EQ(scan.state.registry.slotHolding(Family::Subpicture, 0x6F),
            (Slot{Family::Subpicture, 0}));

  // Each stream's bytes go to its own slot's output, whole.
  Pass pass;
  pass.state.selection.selected.fill(true);
  MemorySink sinks[4];
  testing::MemoryOutputs outputs;
  for (int slot = 0; slot < 4; ++slot)
    outputs.attach(pass.state.sinks, pass.state.results, {Family::Audio, slot}, sinks[slot]);
  pass.run(ps.bytes(), WalkMode::Demux);
  std::vector<uint8_t> dts = filled(10, 0xD7);
  const auto more = filled(10, 0xD8);
  dts.insert(dts.end(), more.begin(), more.end());
  EXPECT_EQ(sinks[0].bytes(), filled(10, 0xAC));
  EXPECT_EQ(sinks[1].bytes(), filled(10, 0xA1));
  EXPECT_EQ(sinks[2].bytes(), dts);
  EXPECT_EQ(sinks[3].bytes(), filled(10, 0x1C));
}

TEST(Walker, AStreamWithoutAFreeSlotIsSkipped) {
  PsWriter ps;
  ps.packHeader().pes(0xE0, filled(10, 0x11));
  ps.packHeader().pes(0xE2, filled(10, 0x22));  // H.264: video slot 0 held, takes 1
  ps.packHeader().pes(0xE1, filled(10, 0x33));  // both video slots held
  Pass scan;
  scan.state.options.Details = false;
  scan.state.options.CountFrames = false;
  scan.run(ps.bytes(), WalkMode::Scan);
  EXPECT_EQ(scan.host.lines.size(), 2u);
  EXPECT_EQ(scan.state.registry.videoIds[1], 0xE2);
  Pass pass;
  pass.state.selection.selected.fill(true);
  MemorySink sinks[2];
  testing::MemoryOutputs outputs;
  for (int slot = 0; slot < 2; ++slot)
    outputs.attach(pass.state.sinks, pass.state.results, {Family::Video, slot}, sinks[slot]);
  pass.run(ps.bytes(), WalkMode::Demux);
  EXPECT_EQ(sinks[0].bytes(), filled(10, 0x11));
  EXPECT_EQ(sinks[1].bytes(), filled(10, 0x22));
}

TEST(Walker, SubpictureBeyondSlot15IsRegisteredButNeverWritten) {
  PsWriter ps;
  ps.packHeader().privateStream1(0x30, filled(5, 0x01), {.pts = 90});
  Pass pass;
  pass.run(ps.bytes(), WalkMode::Scan);
  EXPECT_EQ(pass.state.registry.subIds[16], 0x30);
  EXPECT_TRUE(pass.state.registry.subShown[16]);
  Pass demuxPass;
  demuxPass.state.selection.selected.fill(true);
  MemorySink sink;
  testing::MemoryOutputs outputs;
  outputs.attach(demuxPass.state.sinks, demuxPass.state.results, {Family::Subpicture, 0}, sink);
  demuxPass.run(ps.bytes(), WalkMode::Demux);
  EXPECT_TRUE(sink.bytes().empty());
}

TEST(Walker, StartCodeSplitAcrossBlocksAndPayloadSpanningBlocks) {
  std::vector<uint8_t> payload(3000);
  for (size_t i = 0; i < payload.size(); ++i)
    payload[i] = static_cast<uint8_t>(i * 7 + 3);
  // The packet's start code (00 00 01 BD) straddles the block boundary at every split, after
  // a pack header and a few loose bytes that only the start-code search looks at.
  for (size_t before = 1; before <= 4; ++before) {
    PsWriter ps;
    ps.packHeader();
    ps.padding(kReadBlock - 100 - ps.size());
    const std::vector<uint8_t> loose = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00};
    ps.raw(loose);
    ps.raw(std::vector<uint8_t>(kReadBlock - before - ps.size(), 0x00));
    ps.privateStream1(0xC2, payload, {.pts = 0x1234});
    ASSERT_GT(ps.size(), kReadBlock + 1000);
    Pass scan;
    scan.run(ps.bytes(), WalkMode::Scan);
    EXPECT_TRUE(scan.logged("[b]Dolby Digital[/b] Plus audio stream 2 found!")) << before;

    Pass pass;
    MemorySink sink;
    pass.state.selection.selected[slotNumber({Family::Audio, 2})] = true;
    testing::MemoryOutputs outputs;
    outputs.attach(pass.state.sinks, pass.state.results, {Family::Audio, 2}, sink);
    pass.run(ps.bytes(), WalkMode::Demux);
    EXPECT_EQ(sink.bytes(), payload) << before;  // two pieces, one after the other
  }
}

TEST(Walker, PtsWithDtsKeepsAll32Bits) {
  for (bool withDts : {false, true}) {
    PsWriter ps;
    PesFields fields{.pts = 0xFEDCBA98};
    if (withDts) fields.dts = 0x12345678;
    ps.packHeader().privateStream1(0x80, filled(8, 0), fields);
    Pass pass;
    pass.run(ps.bytes(), WalkMode::Scan);
    EXPECT_TRUE(pass.logged("   First PTS = [re]FEDCBA98[/re]")) << withDts;
  }
}

TEST(Walker, PaddingIsNotSearchedAndUnknownExtensionsAreDiscarded) {
  PsWriter inner;
  inner.privateStream1(0x81, filled(10, 0));
  std::vector<uint8_t> disguised = inner.bytes();
  disguised.resize(2000 - 6, 0xFF);
  PsWriter ps;
  ps.packHeader().pesWithLength(0xBE, 2000 - 6, disguised);
  ps.packHeader().pes(0xFD, filled(40, 0x55), {.pts = 5, .streamIdExtension = 0x71});
  Pass pass;
  pass.run(ps.bytes(), WalkMode::Scan);
  EXPECT_TRUE(pass.host.lines.empty());
  EXPECT_EQ(pass.state.registry.audioIds[1], -1);
  EXPECT_EQ(pass.state.registry.videoIds[0], -1);
}

TEST(Walker, SupRecordsRebaseThePtsAndOnlyPacketsWithTheirOwnPtsStartOne) {
  std::vector<uint8_t> unit(2000);
  for (size_t i = 0; i < unit.size(); ++i)
    unit[i] = static_cast<uint8_t>(i);
  PsWriter ps;
  ps.packHeader().privateStream1(0x20, unit, {.pts = 0x00012345});
  ps.packHeader().pes(0xE0, filled(20, 0x99), {.pts = 0x00099999});
  ps.packHeader().privateStream1(0x20, filled(30, 0xEE));  // continuation: no PTS
  Pass pass;
  pass.state.results.firstPtsMin = 0x00002345;
  pass.state.selection.selected[slotNumber({Family::Subpicture, 0})] = true;
  MemorySink sink;
  testing::MemoryOutputs outputs;
  outputs.attach(pass.state.sinks, pass.state.results, {Family::Subpicture, 0}, sink);
  pass.run(ps.bytes(), WalkMode::Demux);
  std::vector<uint8_t> expected = {'S', 'P', 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0};
  expected.insert(expected.end(), unit.begin(), unit.end());
  expected.insert(expected.end(), 30, 0xEE);
  EXPECT_EQ(sink.bytes(), expected);
}

TEST(Walker, MpegAudioIsNeverWrittenToAnAudioSlot) {
  PsWriter ps;
  ps.packHeader().privateStream1(0x80, filled(10, 0xAC));
  ps.packHeader().pes(0xC0, filled(10, 0x3F), {.pts = 1});
  Pass pass;
  pass.state.selection.selected.fill(true);
  MemorySink sink;
  testing::MemoryOutputs outputs;
  outputs.attach(pass.state.sinks, pass.state.results, {Family::Audio, 0}, sink);
  pass.run(ps.bytes(), WalkMode::Demux);
  EXPECT_EQ(sink.bytes(), filled(10, 0xAC));
}

TEST(Walker, NavigationPacketGivesVobNumberAndDuration) {
  PsWriter ps;
  ps.packHeader().navigationPacket(0x0102, 0x00001000, 0x00001000 + 90000 * 61 + 45);
  ps.packHeader().navigationPacket(7, 0, 90000);  // only the first is read
  Pass pass;
  pass.run(ps.bytes(), WalkMode::Demux);
  const std::vector<std::string> expected = {
      "VOB number = 258", "PTM of first video frame = [re]00001000[/re]",
      "PTM of last video frame = 0053D57D", "Duration = [b]0:01:01.001[/b]"};
  EXPECT_EQ(pass.host.lines, expected);
  EXPECT_NEAR(pass.state.results.duration, 61.0005, 1e-9);
}

std::vector<uint8_t> blockWithSystemHeader(int video, int audio) {
  PsWriter ps;
  ps.packHeader().systemHeader(video, audio).fillPack();
  auto bytes = ps.take();
  bytes.resize(kReadBlock, 0);
  return bytes;
}

TEST(Walker, SystemHeaderSentence) {
  struct Case {
    int video, audio;
    const char* sentence;
  };
  const Case cases[] = {{1, 1, "It contains 1 video stream and 1 audio stream."},
                        {2, 3, "It contains 2 video streams and 3 audio streams."}};
  for (const auto& c : cases) {
    Pass pass;
    pass.run(blockWithSystemHeader(c.video, c.audio), WalkMode::Scan);
    ASSERT_EQ(pass.host.lines.size(), 1u);
    EXPECT_EQ(pass.host.lines[0], c.sentence);
  }
  auto shortFile = blockWithSystemHeader(1, 1);
  shortFile.resize(kReadBlock - 1);
  Pass pass;
  pass.run(shortFile, WalkMode::Scan);
  EXPECT_TRUE(pass.host.lines.empty());
}

// An endless-looking input made of one 2,048-byte video pack repeated, generated on demand.
class RepeatingSource : public ByteSource {
 public:
  RepeatingSource(std::vector<uint8_t> pack, uint64_t size) : pack_(std::move(pack)), size_(size) {}
  Status read(uint8_t* dst, size_t n, size_t& got) override {
    got = static_cast<size_t>(std::min<uint64_t>(n, size_ - position_));
    for (size_t i = 0; i < got; ++i)
      dst[i] = pack_[(position_ + i) % pack_.size()];
    position_ += got;
    return {};
  }
  uint64_t size() const override { return size_; }
  uint64_t position() const override { return position_; }
  const Status& status() const override { return status_; }

 private:
  std::vector<uint8_t> pack_;
  uint64_t size_;
  uint64_t position_ = 0;
  Status status_;
};

std::vector<uint8_t> framePack() {
  std::vector<uint8_t> frame = {0x00, 0x00, 0x01, 0x00, 0x12, 0x34};
  frame.resize(1900, 0x55);
  PsWriter ps;
  ps.packHeader().pes(0xE0, frame, {.pts = 1, .dts = 1}).fillPack();
  return ps.take();
}

TEST(Walker, FastCheckStopsAfterTheBlockThatPassesTheLimit) {
  RepeatingSource source(framePack(), 1'000'000'000);
  testing::PassValues state;
  RecordingHost host;
  state.options.Details = false;
  ASSERT_TRUE(demux(state.walker(source), host, WalkMode::Scan).ok());
  EXPECT_EQ(source.position(), 1145u * kReadBlock);  // 300,154,880 bytes
  EXPECT_EQ(state.stop.reason(), StopReason::FastCheckLimit);
  EXPECT_EQ(state.results.frameCount[0], 0);
  EXPECT_EQ(host.eventPoints, 71);  // every 4 MiB up to 71 x 4 MiB
}

TEST(Walker, CancelAtAnEventPointStopsThePassAndZeroesFrameCounts) {
  RepeatingSource source(framePack(), 64 * kMib);
  testing::PassValues state;
  RecordingHost host;
  host.onEvents = [&](int point) {
    EXPECT_GT(state.results.frameCount[0], 0);
    if (point == 2) state.stop.request(StopReason::UserCancel);
  };
  ASSERT_TRUE(demux(state.walker(source), host, WalkMode::Scan).ok());
  EXPECT_EQ(source.position(), 8 * kMib);
  EXPECT_EQ(state.results.frameCount[0], 0);
  EXPECT_FALSE(host.cancelEnabled);
}

TEST(Walker, FrameCountsAndLiveSelectionInDemuxMode) {
  RepeatingSource source(framePack(), 16 * kMib);
  testing::PassValues state;
  RecordingHost host;
  MemorySink sink;
  const int video0 = slotNumber({Family::Video, 0});
  state.selection.selected[video0] = true;
  testing::MemoryOutputs outputs;
  outputs.attach(state.sinks, state.results, {Family::Video, 0}, sink);
  size_t writtenAtFirstPoint = 0;
  host.onEvents = [&](int point) {
    if (point == 1) {
      writtenAtFirstPoint = sink.bytes().size();
      state.selection.selected[video0] = false;  // the user unchecks the box mid-run
    }
  };
  ASSERT_TRUE(demux(state.walker(source), host, WalkMode::Demux).ok());
  EXPECT_EQ(sink.bytes().size(), writtenAtFirstPoint);
  // The first event point comes after the read of the block that ends at 4 MiB and before
  // that block is walked; one frame per pack is counted until then.
  const int packsBeforeFirstPoint = static_cast<int>((4 * kMib - kReadBlock) / 2048);
  EXPECT_EQ(state.results.frameCount[0], packsBeforeFirstPoint);
}

TEST(Walker, DamagedInputNeverCrashesOrHangs) {
  std::mt19937 random(1);
  std::vector<std::vector<uint8_t>> inputs;
  PsWriter zeroLength;
  zeroLength.packHeader().pesWithLength(0xE0, 0, {}).pesWithLength(0xBD, 0, {});
  inputs.push_back(zeroLength.take());
  PsWriter truncated;
  truncated.packHeader()
      .privateStream1(0xA0, filled(2000, 1), {.pts = 1})
      .pesWithLength(0xE0, 60000, filled(10, 0));
  inputs.push_back(truncated.take());
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> noise(70000);
    for (auto& b : noise)
      b = static_cast<uint8_t>(random() % (i % 2 == 0 ? 256 : 4));
    inputs.push_back(noise);
  }
  for (const auto& input : inputs) {
    for (WalkMode mode : {WalkMode::Scan, WalkMode::Demux}) {
      Pass pass;
      pass.state.selection.selected.fill(true);
      MemorySink sinks[kSelectableSlots];
      testing::MemoryOutputs outputs;
      for (int s = 0; s < kSelectableSlots; ++s)
        outputs.attach(pass.state.sinks, pass.state.results, slotAt(s), sinks[s]);
      pass.run(input, mode);
      EXPECT_TRUE(pass.ok);
      size_t written = 0;
      for (const auto& sink : sinks)
        written += sink.bytes().size();
      EXPECT_LE(written, input.size() + 10 * input.size() / 6);
    }
  }
}

std::vector<uint8_t> sample(const std::string& name) {
  return testing::readFileBytes(std::string(KORVELL_SOURCE_DIR) + "/testdata/" + name);
}

// The 00 00 01 <code> sequences of an elementary stream, found without the frame counter.
std::vector<size_t> startCodes(const std::vector<uint8_t>& es, uint8_t code) {
  const uint8_t pattern[] = {0, 0, 1, code};
  std::vector<size_t> at;
  for (auto it = es.begin(); (it = std::search(it, es.end(), pattern, pattern + 4)) != es.end();
       ++it) {
    at.push_back(static_cast<size_t>(it - es.begin()));
  }
  return at;
}

TEST(Walker, FrameCountEqualsTheStartCodesWherePacketsCutThem) {
  struct Case {
    const char* sample;
    uint8_t streamId;
    std::optional<uint8_t> extension;
    uint8_t code;
  };
  const Case cases[] = {{"mpeg2_pal_25.m2v", 0xE0, std::nullopt, 0x00},
                        {"h264_high_41.264", 0xE2, std::nullopt, 0x09},
                        {"vc1_ap_sample.vc1", 0xFD, 0x55, 0x0D}};
  // Packets end 1, 2 or 3 bytes into every start code, or at each of those offsets.
  const std::vector<std::vector<size_t>> cutSets = {{1}, {2}, {3}, {1, 2, 3}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> es = sample(c.sample);
    ASSERT_FALSE(es.empty()) << c.sample;
    const std::vector<size_t> codes = startCodes(es, c.code);
    ASSERT_GT(codes.size(), 1u) << c.sample;
    for (const auto& cuts : cutSets) {
      std::vector<size_t> ends;
      for (size_t at : codes) {
        for (size_t k : cuts)
          ends.push_back(at + k);
      }
      ends.push_back(es.size());
      PsWriter ps;
      size_t from = 0;
      for (size_t end : ends) {
        while (from < end) {
          const size_t to = std::min(end, from + 2000);
          ps.packHeader().pes(c.streamId, std::span(es).subspan(from, to - from),
                              {.pts = 0x1000, .streamIdExtension = c.extension});
          from = to;
        }
      }
      Pass scan;
      scan.state.options.Details = false;
      scan.run(ps.bytes(), WalkMode::Scan);
      EXPECT_EQ(scan.state.results.frameCount[0], static_cast<int32_t>(codes.size()))
          << c.sample << " cut at +" << cuts.front() << (cuts.size() > 1 ? "..." : "");
      Pass demuxPass;
      MemorySink sink;
      demuxPass.state.selection.selected[slotNumber({Family::Video, 0})] = true;
      testing::MemoryOutputs outputs;
      outputs.attach(demuxPass.state.sinks, demuxPass.state.results, {Family::Video, 0}, sink);
      demuxPass.run(ps.bytes(), WalkMode::Demux);
      EXPECT_TRUE(sink.bytes() == es) << c.sample;
      EXPECT_EQ(demuxPass.state.results.frameCount[0], static_cast<int32_t>(codes.size()))
          << c.sample;
    }
  }
}

// A DVD-Audio packet of substream `id`: id, continuity counter, header length N, N header
// bytes, then `payload`.
void aobPacket(PsWriter& ps, uint8_t id, const std::vector<uint8_t>& header,
               std::span<const uint8_t> payload, uint16_t lengthField) {
  std::vector<uint8_t> body = {id, 0x00, static_cast<uint8_t>(lengthField >> 8),
                               static_cast<uint8_t>(lengthField)};
  body.insert(body.end(), header.begin(), header.end());
  body.insert(body.end(), payload.begin(), payload.end());
  ps.packHeader().pes(0xBD, body, {.pts = 0x2000});
}

TEST(Walker, AudioObjectPrivateHeadersAreSkippedByTheirOwnLength) {
  const std::vector<uint8_t> mlp = sample("mlp_2ch.mlp");
  ASSERT_FALSE(mlp.empty());
  struct Case {
    const char* path;
    uint8_t id;
    std::vector<uint8_t> header;
    uint16_t lengthField;
    bool payloadWritten;  // false: the header runs past the packet
  };
  const Case cases[] = {
      {"/disc/AUDIO_TS/ATS_01_1.AOB", 0xA1, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 6, true},
      {"/disc/AUDIO_TS/ATS_01_1.aob", 0xA0, {0, 0x0F, 0x10, 0x2F, 0x1F, 0, 0x01, 0x10}, 8, true},
      {"/disc/AUDIO_TS/ATS_01_1.AOB", 0xA0, {}, 0, true},
      {"/disc/AUDIO_TS/ATS_01_1.AOB", 0xA1, {0x00, 0x00}, 0xFFFF, false},
  };
  for (const auto& c : cases) {
    PsWriter ps;
    for (size_t from = 0; from < mlp.size(); from += 2000) {
      const size_t length = std::min<size_t>(2000, mlp.size() - from);
      aobPacket(ps, c.id, c.header, std::span(mlp).subspan(from, length), c.lengthField);
    }
    Pass pass;
    MemorySink sink;
    pass.state.sourcePath = c.path;
    pass.state.selection.selected[slotNumber({Family::Audio, c.id & 0x0F})] = true;
    testing::MemoryOutputs outputs;
    outputs.attach(pass.state.sinks, pass.state.results, {Family::Audio, c.id & 0x0F}, sink);
    pass.run(ps.bytes(), WalkMode::Demux);
    EXPECT_TRUE(sink.bytes() == (c.payloadWritten ? mlp : std::vector<uint8_t>{})) << c.path;
  }
}

TEST(Walker, AudioObjectLpcmDetailsComeFromItsHeader) {
  PsWriter ps;
  aobPacket(ps, 0xA0, {0x00, 0x0F, 0x10, 0x2F, 0x1F, 0x00, 0x01, 0x10}, filled(100, 0x5A), 8);
  Pass pass;
  pass.state.sourcePath = "ATS_01_1.AOB";
  pass.run(ps.bytes(), WalkMode::Scan);
  const std::vector<std::string> expected = {"[b]LPCM[/b] audio stream 0 found!",
                                             "   First PTS = [re]00002000[/re]",
                                             "   Substream id = A0",
                                             "   First acces unit pointer = 000F",
                                             "   Quantization length = [bl]24[/bl] bits",
                                             "   Sampling frequency = [bl]96[/bl] kHz",
                                             "   Channel arrangement = [bl]L + R[/bl]"};
  EXPECT_EQ(pass.host.lines, expected);
}

}  // namespace
}  // namespace korvell
