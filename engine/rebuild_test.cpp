#include "engine/rebuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/packs.h"
#include "engine/read_buffer.h"
#include "engine/walker.h"
#include "testing/memory_outputs.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"

namespace korvell {
namespace {

using testing::PesFields;
using testing::PsWriter;
using testing::RecordingHost;

std::vector<uint8_t> payload(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + (i * 7) % 200);  // never 00 00 01
  return v;
}

std::vector<uint8_t> substreamPack(uint8_t id, const PesFields& fields = {.pts = 3000}) {
  return PsWriter().packHeader().privateStream1(id, payload(500, id), fields).fillPack().take();
}

std::vector<uint8_t> videoPack(uint8_t streamId) {
  return PsWriter().packHeader().pes(streamId, payload(800, 1), {.pts = 9000}).fillPack().take();
}

std::vector<uint8_t> vc1Pack(uint8_t extension, const PesFields& extra = {}) {
  PesFields fields = extra;
  fields.streamIdExtension = extension;
  return PsWriter().packHeader().pes(0xFD, payload(800, 2), fields).fillPack().take();
}

// The offsets at which two byte strings differ.
std::vector<size_t> differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<size_t> at;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) at.push_back(i);
  return at;
}

struct KindCase {
  uint8_t first, last;
  Family family;
  uint8_t slotMask;
  uint8_t keepMask;  // the bits of the old identifier that the new one keeps
};

// Every kind the registry holds, with its slot rule and its renumbering rule.
const KindCase kKinds[] = {
    {0x80, 0x87, Family::Audio, 0x07, 0xF8},       // AC-3
    {0x88, 0x8F, Family::Audio, 0x07, 0xF8},       // DTS
    {0xA0, 0xA7, Family::Audio, 0x0F, 0xF8},       // LPCM
    {0xB0, 0xB7, Family::Audio, 0x07, 0xF8},       // TrueHD
    {0xC0, 0xCF, Family::Audio, 0x0F, 0xF0},       // E-AC-3
    {0x20, 0x2F, Family::Subpicture, 0x1F, 0xE0},  // subpicture
    {0x60, 0x6F, Family::Subpicture, 0x1F, 0xE0},  // extended subpicture
};

void registerId(testing::PassValues& state, Family family, int slot, int32_t id) {
  if (family == Family::Audio) state.registry.audioIds[slot] = id;
  if (family == Family::Subpicture) state.registry.subIds[slot] = id;
  if (family == Family::Video) state.registry.videoIds[slot] = id;
}

TEST(RebuildPack, EverySubstreamKindIsDroppedWhenClearAndRenumberedWhenKept) {
  for (const KindCase& kind : kKinds) {
    for (int id = kind.first; id <= kind.last; ++id) {
      const auto q = static_cast<uint8_t>(id);
      const int slot = q & kind.slotMask;
      const std::vector<uint8_t> original = substreamPack(q);
      testing::PassValues state;
      registerId(state, kind.family, slot, q);

      std::vector<uint8_t> pack = original;
      EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Drop) << std::hex << id;

      state.selection.selected[slotNumber({kind.family, slot})] = true;
      (kind.family == Family::Audio ? state.renumbering.nextAudio : state.renumbering.nextSub) = 3;
      EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write) << std::hex << id;
      // Pack header 14, PES header 9 with a PTS: the substream byte is byte 28.
      const auto expected = static_cast<uint8_t>((q & kind.keepMask) | 3);
      EXPECT_EQ(differences(original, pack),
                (q == expected ? std::vector<size_t>{} : std::vector<size_t>{28}))
          << std::hex << id;
      EXPECT_EQ(pack[28], expected) << std::hex << id;
      EXPECT_EQ(state.renumbering.newId[q], expected);
    }
  }
}

TEST(RebuildPack, VideoKindsAreDroppedWhenClearAndRenumberedWhenKept) {
  struct Case {
    std::vector<uint8_t> pack;
    uint8_t id;
    int slot;
    size_t offset;
    uint8_t renumbered;  // with nextVideo 0
  };
  const Case cases[] = {
      {videoPack(0xE1), 0xE1, 1, 17, 0xE0},
      {videoPack(0xE3), 0xE3, 1, 17, 0xE2},
      {videoPack(0xE0), 0xE0, 0, 17, 0xE0},
      // PTS 5, extension flags 1, extension-2 marker 1: 23 + 5 + 1 + 1.
      {vc1Pack(0x56, {.pts = 9000}), 0x56, 1, 30, 0x55},
      // PTS and DTS 10, extension flags, P-STD buffer 2, marker: 23 + 10 + 1 + 2 + 1.
      {vc1Pack(0x56, {.pts = 9000, .dts = 6000, .pstdBuffer = true}), 0x56, 1, 37, 0x55},
      {vc1Pack(0x56), 0x56, 1, 25, 0x55},
  };
  for (const Case& c : cases) {
    testing::PassValues state;
    state.registry.videoIds[c.slot] = c.id;
    std::vector<uint8_t> pack = c.pack;
    EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Drop) << c.offset;
    state.selection.selected[slotNumber({Family::Video, c.slot})] = true;
    ASSERT_EQ(pack[c.offset], c.id);
    EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write);
    EXPECT_EQ(pack[c.offset], c.renumbered) << c.offset;
    EXPECT_EQ(differences(c.pack, pack).size(), c.id == c.renumbered ? 0u : 1u);
  }
}

TEST(RebuildPack, StreamsNoSlotHoldsAreKeptUnchanged) {
  testing::PassValues state;  // nothing selected
  state.registry.subIds[16] = 0x30;
  state.registry.audioIds[0] = 0x80;
  for (int q : {0x30, 0x3F, 0x70, 0x7F, 0x90, 0xA8, 0xB8, 0xD0, 0x00, 0xFF}) {
    const auto original = substreamPack(static_cast<uint8_t>(q));
    std::vector<uint8_t> pack = original;
    EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write) << std::hex << q;
    EXPECT_EQ(pack, original) << std::hex << q;
  }
  // MPEG audio is never registered: stream_id 0xC0 is not E-AC-3 substream 0xC0.
  state.registry.audioIds[0] = 0xC0;
  const auto mpegAudio = PsWriter().packHeader().pes(0xC0, payload(600, 3)).fillPack().take();
  std::vector<uint8_t> pack = mpegAudio;
  EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write);
  EXPECT_EQ(pack, mpegAudio);
  EXPECT_EQ(state.renumbering.nextAudio, 0);
}

TEST(RebuildPack, AStreamWhoseSlotIsEmptyIsKeptAndRenumbered) {
  // A stream only the first file of a set carries: the registry (of the last file) has no
  // entry for its slot, so there is no box to clear.
  testing::PassValues state;
  std::vector<uint8_t> pack = substreamPack(0x85);
  EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write);
  EXPECT_EQ(pack[28], 0x80);
}

TEST(RebuildPack, AStreamIsDecidedByTheSlotTheRegistryHoldsItIn) {
  // AC-3 0x80 claimed audio slot 0 first; DTS 0x88 took slot 1. Only the DTS box is clear.
  testing::PassValues state;
  state.registry.audioIds[0] = 0x80;
  state.registry.audioIds[1] = 0x88;
  state.selection.selected[slotNumber({Family::Audio, 0})] = true;
  std::vector<uint8_t> ac3 = substreamPack(0x80);
  std::vector<uint8_t> dts = substreamPack(0x88);
  EXPECT_EQ(rebuildPack(state.rebuild(), ac3), PackAction::Write);
  EXPECT_EQ(rebuildPack(state.rebuild(), dts), PackAction::Drop);
  // The other way round: the box of slot 0 clear drops AC-3 alone.
  state.selection.selected[slotNumber({Family::Audio, 0})] = false;
  state.selection.selected[slotNumber({Family::Audio, 1})] = true;
  EXPECT_EQ(rebuildPack(state.rebuild(), ac3), PackAction::Drop);
  EXPECT_EQ(rebuildPack(state.rebuild(), dts), PackAction::Write);
}

TEST(RebuildPack, UnusualLayoutsAreCopiedUnchangedEvenWhenTheirSlotIsClear) {
  testing::PassValues state;
  state.registry.audioIds[1] = 0x81;
  state.registry.videoIds[0] = 0x55;
  std::vector<std::vector<uint8_t>> packs;
  // Pack stuffing moves the PES to byte 16.
  packs.push_back(PsWriter()
                      .packHeader(0, 2)
                      .privateStream1(0x81, payload(500, 4), {.pts = 1})
                      .fillPack()
                      .take());
  // A padding packet before the PES.
  packs.push_back(
      PsWriter().packHeader().padding(20).privateStream1(0x81, payload(500, 4)).fillPack().take());
  // A PES header length that runs past the packet.
  packs.push_back(PsWriter()
                      .packHeader()
                      .pesWithLength(0xBD, 8, std::vector<uint8_t>{0x81, 0x80, 0x20, 0x81, 0, 0})
                      .fillPack()
                      .take());
  // A PES packet length that runs past the pack.
  packs.push_back(PsWriter()
                      .packHeader()
                      .pesWithLength(0xBD, 0x0900, std::vector<uint8_t>{0x81, 0x00, 0x00, 0x81})
                      .fillPack()
                      .take());
  // An MPEG-1 pack header (12 bytes, '0010' marker): byte 17 is not a stream_id.
  auto mpeg1 = substreamPack(0x81);
  mpeg1[4] = 0x21;
  packs.push_back(mpeg1);
  // Extended stream id with a PES private data field before the extension 2 field.
  auto privateData = vc1Pack(0x55, {.pts = 9000});
  privateData[28] |= 0x80;
  packs.push_back(privateData);
  // Extended stream id with an ESCR flag and with DTS alone.
  auto escr = vc1Pack(0x55, {.pts = 9000});
  escr[21] |= 0x20;
  packs.push_back(escr);
  auto dtsOnly = vc1Pack(0x55, {.pts = 9000});
  dtsOnly[21] = static_cast<uint8_t>((dtsOnly[21] & 0x3F) | 0x40);
  packs.push_back(dtsOnly);
  for (size_t i = 0; i < packs.size(); ++i) {
    std::vector<uint8_t> pack = packs[i];
    EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write) << i;
    EXPECT_EQ(pack, packs[i]) << i;
  }
  // Bytes that are not a pack are never written.
  std::vector<uint8_t> notAPack = packs[0];
  notAPack[3] = 0xBB;
  EXPECT_EQ(rebuildPack(state.rebuild(), notAPack), PackAction::Drop);
}

TEST(RebuildPack, SystemHeaderBoundsCountTheSelectedStreams) {
  testing::PassValues state;
  state.registry.videoIds[0] = 0x55;
  state.registry.videoIds[1] = 0xE1;
  state.selection.selected[slotNumber({Family::Video, 0})] = true;
  for (int slot : {0, 3, 9, 12})
    state.registry.audioIds[slot] = 0xC0 | slot;
  for (int slot : {3, 9, 12})
    state.selection.selected[slotNumber({Family::Audio, slot})] = true;
  state.selection.selected[slotNumber({Family::Audio, 5})] = true;  // no stream: not counted
  const auto original =
      PsWriter().packHeader().systemHeader(2, 16).navigationPacket(1, 0, 0).fillPack().take();
  std::vector<uint8_t> pack = original;
  pack[23] |= 0x03;  // fixed_flag and CSPS_flag stay
  pack[24] = 0xE2;   // lock flags and marker stay
  EXPECT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write);
  EXPECT_EQ(pack[23], 3 << 2 | 0x03);
  EXPECT_EQ(pack[24], 0xE0 | 1);
  EXPECT_EQ(differences(original, pack), (std::vector<size_t>{23, 24}));
}

TEST(RebuildPack, RenumberingNeverChangesACodecAndNeverHandsOut0xFF) {
  testing::PassValues state;
  state.renumbering.nextAudio = 8;
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::Substream, 0x83), 0x83),
            0x83);  // 0x88 would be DTS
  EXPECT_EQ(state.renumbering.nextAudio, 8);
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::Substream, 0xC5), 0xC5), 0xC8);
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::Substream, 0xC5), 0xC5),
            0xC8);  // assigned once
  EXPECT_EQ(state.renumbering.nextAudio, 9);
  state.renumbering.nextVideo = 2;
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::Extension, 0x55), 0x55), 0x55);
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::StreamId, 0xE1), 0xE1), 0xE1);
  state.renumbering.nextSub = 16;
  EXPECT_EQ(renumberedId(state.renumbering, *findKind(IdSpace::Substream, 0x2A), 0x2A), 0x2A);
}

TEST(RebuildPack, NoSubstreamEverGets0xFF) {
  // Every substream id in one pass, none registered: the kinds the registry holds are
  // renumbered, the rest keep their identifier, and 0xFF is never handed out.
  testing::PassValues state;
  for (int q = 0; q < 256; ++q) {
    std::vector<uint8_t> pack = substreamPack(static_cast<uint8_t>(q));
    ASSERT_EQ(rebuildPack(state.rebuild(), pack), PackAction::Write);
    if (q != 0xFF) {
      EXPECT_NE(pack[28], 0xFF) << std::hex << q;
    }
    if (q == 0x30 || q == 0x7F || q == 0x90 || q == 0xFF) {
      EXPECT_EQ(pack[28], q);
    }
  }
  EXPECT_EQ(state.renumbering.nextAudio, 16);  // 0xC0-0xCF took slots 8-15 after the first eight
  EXPECT_EQ(state.renumbering.nextSub, 16);
}

// A stream set for the pass: VC-1, three audio kinds, two subpictures, a navigation pack
// with a system header, padding and an MPEG audio pack.
std::vector<uint8_t> sampleProgram(int rounds) {
  PsWriter ps;
  ps.packHeader().systemHeader(1, 3).navigationPacket(1, 90000, 180000).fillPack();
  for (int i = 0; i < rounds; ++i) {
    const auto t = static_cast<uint32_t>(90000 + i * 3000);
    ps.packHeader()
        .pes(0xFD, payload(1500, static_cast<uint8_t>(i)), {.pts = t, .streamIdExtension = 0x55})
        .fillPack();
    ps.packHeader().privateStream1(0xC0, payload(1000, 10), {.pts = t}).fillPack();
    ps.packHeader().privateStream1(0xB1, payload(1200, 20), {.pts = t}).fillPack();
    ps.packHeader().privateStream1(0x8A, payload(900, 30), {.pts = t}).fillPack();
    ps.packHeader().privateStream1(0x20, payload(300, 40), {.pts = t}).fillPack();
    ps.packHeader().privateStream1(0x21, payload(300, 50), {.pts = t}).fillPack();
    ps.packHeader().pes(0xC0, payload(400, 60), {.pts = t}).fillPack();
    ps.packHeader().padding(2034);
  }
  return ps.take();
}

// A walker pass over bytes: the registry it leaves, and with demux the payload of every
// slot that holds a stream, keyed by family and slot.
struct Walk {
  testing::PassValues state;
  std::map<std::pair<Family, int>, MemorySink> sinks;

  explicit Walk(const std::vector<uint8_t>& bytes) {
    state.options.Details = false;
    RecordingHost host;
    MemorySource scan(bytes);
    EXPECT_TRUE(demux(state.walker(scan), host, WalkMode::Scan).ok());
    state.results.firstPtsMin = 0;
    testing::MemoryOutputs outputs;
    for (int number = 0; number < kSelectableSlots; ++number) {
      const Slot slot = slotAt(number);
      if (state.registry.registeredId(slot) == -1) continue;
      state.selection.selected[number] = true;
      outputs.attach(state.sinks, state.results, slot, sinks[{slot.family, slot.index}]);
    }
    const auto registry =
        std::make_tuple(state.registry.videoIds, state.registry.audioIds, state.registry.subIds);
    MemorySource again(bytes);
    EXPECT_TRUE(demux(state.walker(again), host, WalkMode::Demux).ok());
    EXPECT_EQ(registry, std::make_tuple(state.registry.videoIds, state.registry.audioIds,
                                        state.registry.subIds));
  }
  const std::vector<uint8_t>& of(Family family, int slot) { return sinks[{family, slot}].bytes(); }
};

TEST(Rebuild, KeptStreamsAreRenumberedAndDemuxToTheSameBytes) {
  const std::vector<uint8_t> source = sampleProgram(5);
  Walk before(source);
  testing::PassValues& state = before.state;
  state.renumbering = Renumbering();
  state.selection.selected[slotNumber({Family::Audio, 1})] = false;       // TrueHD 0xB1
  state.selection.selected[slotNumber({Family::Subpicture, 0})] = false;  // subpicture 0x20
  MemorySource input(source);
  MemorySink out;
  RecordingHost host;
  EXPECT_TRUE(Rebuild(state.rebuild(), input, host, out, "X.EVO").ok());
  EXPECT_FALSE(host.cancelEnabled);

  const std::vector<uint8_t>& rebuilt = out.bytes();
  EXPECT_EQ(rebuilt.size(), source.size() - 2 * 5 * kPackSize);
  for (size_t at = 0; at < rebuilt.size(); at += kPackSize) {
    ASSERT_EQ(rebuilt[at + 3], 0xBA) << at;  // whole packs only
  }
  Walk after(rebuilt);
  std::array<int32_t, 16> video{}, audio{};
  std::array<int32_t, 32> sub{};
  video.fill(-1), audio.fill(-1), sub.fill(-1);
  video[0] = 0x55;
  audio[0] = 0xC0;  // first seen
  audio[1] = 0x89;  // DTS 0x8A, the second kept audio stream
  sub[0] = 0x20;    // 0x21
  EXPECT_EQ(after.state.registry.videoIds, video);
  EXPECT_EQ(after.state.registry.audioIds, audio);
  EXPECT_EQ(after.state.registry.subIds, sub);
  EXPECT_EQ(after.of(Family::Video, 0), before.of(Family::Video, 0));
  EXPECT_EQ(after.of(Family::Audio, 0), before.of(Family::Audio, 0));
  EXPECT_EQ(after.of(Family::Audio, 1), before.of(Family::Audio, 2));
  EXPECT_EQ(after.of(Family::Subpicture, 0), before.of(Family::Subpicture, 1));
  EXPECT_FALSE(after.of(Family::Audio, 1).empty());
  // The system header counts one video and two audio streams.
  EXPECT_EQ(rebuilt[24] & 0x1F, 1);
  EXPECT_EQ(rebuilt[23] >> 2, 2);
}

TEST(Rebuild, ProgressEvery4MiBAndCancelAfterThePackAtThatPoint) {
  const std::vector<uint8_t> source = sampleProgram(600);  // 4,800 packs, 9.4 MiB
  testing::PassValues state;
  state.registry.videoIds[0] = 0x55;
  state.selection.selected[0] = true;
  MemorySource input(source);
  MemorySink out;
  RecordingHost host;
  host.onEvents = [&](int) {
    EXPECT_TRUE(host.cancelEnabled);
    state.stop.request(StopReason::UserCancel);
  };
  EXPECT_TRUE(Rebuild(state.rebuild(), input, host, out, "FEATURE_1.EVO").ok());
  EXPECT_EQ(state.stop.reason(), StopReason::UserCancel);
  EXPECT_EQ(host.eventPoints, 1);
  ASSERT_EQ(host.statusTexts[1].size(), 1u);
  EXPECT_EQ(
      host.statusTexts[1][0].rfind("Rebuilding FEATURE_1.EVO 4/9 Mbytes, Remaining time: ", 0), 0u);
  EXPECT_EQ(input.position(), 4u * 1048576);
  EXPECT_EQ(out.bytes().size(), 4u * 1048576);  // every pack kept
}

TEST(Rebuild, AShortLastPackFollowsTheSameRulesWithinItsLength) {
  const std::vector<uint8_t> whole = sampleProgram(1);
  testing::PassValues state;
  state.registry.audioIds[0] = 0xC0;
  state.selection.selected[slotNumber({Family::Audio, 0})] = true;
  state.registry.audioIds[1] = 0xB1;  // box clear
  struct Case {
    size_t pack;    // the pack the file ends in
    size_t length;  // bytes of it that are there
    size_t written;
  };
  const Case cases[] = {
      {1, 100, 100},  // VC-1 without a slot in this registry: kept
      {2, 29, 29},    // E-AC-3: its substream byte (28) is there; kept
      {3, 100, 0},    // TrueHD: dropped
      {3, 28, 28},    // the substream byte is missing: copied as it stands
      {3, 3, 0},      // not even a pack start code
  };
  for (const Case& c : cases) {
    const auto end = static_cast<std::ptrdiff_t>(c.pack * kPackSize + c.length);
    const std::vector<uint8_t> bytes(whole.begin(), whole.begin() + end);
    MemorySource input(bytes);
    state.renumbering = Renumbering();
    MemorySink out;
    RecordingHost host;
    EXPECT_TRUE(Rebuild(state.rebuild(), input, host, out, "X").ok());
    ASSERT_EQ(out.bytes().size(), c.pack * kPackSize + c.written) << c.pack << " " << c.length;
    const auto tail = static_cast<std::ptrdiff_t>(c.written);
    EXPECT_TRUE(std::equal(out.bytes().end() - tail, out.bytes().end(),
                           bytes.end() - static_cast<std::ptrdiff_t>(c.length)));
  }
}

// A source that hands out at most `chunk` bytes per read, as a pipe or a slow disk may.
class ChunkedSource : public ByteSource {
 public:
  ChunkedSource(const std::vector<uint8_t>& bytes, size_t chunk) : inner_(bytes), chunk_(chunk) {}
  Status read(uint8_t* dst, size_t n, size_t& got) override {
    return inner_.read(dst, std::min(n, chunk_), got);
  }
  uint64_t size() const override { return inner_.size(); }
  uint64_t position() const override { return inner_.position(); }
  const Status& status() const override { return inner_.status(); }

 private:
  MemorySource inner_;
  size_t chunk_;
};

// The pass as the rules define it: every 2,048 bytes from `from` on (the last piece shorter)
// decided on its own, the kept ones appended.
std::vector<uint8_t> packByPack(testing::PassValues state, std::vector<uint8_t> bytes,
                                size_t from = 0) {
  std::vector<uint8_t> out;
  for (size_t at = from; at < bytes.size(); at += kPackSize) {
    const size_t length = std::min(kPackSize, bytes.size() - at);
    if (rebuildPack(state.rebuild(), {bytes.data() + at, length}) == PackAction::Write) {
      out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                 bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
  }
  return out;
}

// The streams of sampleProgram registered, TrueHD 0xB1 and subpicture 0x20 clear: the kept
// packs come in runs broken by dropped ones.
testing::PassValues partlySelected() {
  testing::PassValues state;
  state.registry.videoIds[0] = 0x55;
  state.registry.audioIds[0] = 0xC0;
  state.registry.audioIds[1] = 0xB1;
  state.registry.audioIds[2] = 0x8A;
  state.registry.subIds[0] = 0x20;
  state.registry.subIds[1] = 0x21;
  for (const Slot slot : {Slot{Family::Video, 0}, Slot{Family::Audio, 0}, Slot{Family::Audio, 2},
                          Slot{Family::Subpicture, 1}}) {
    state.selection.selected[slotNumber(slot)] = true;
  }
  return state;
}

TEST(Rebuild, BlocksGiveTheBytesOfAPackByPackPassForAnySizeAndReadPattern) {
  const std::vector<uint8_t> program = sampleProgram(80);  // 640 packs, 5 blocks
  struct Case {
    size_t size;   // bytes of the input
    size_t chunk;  // the most a read hands out
  };
  const Case cases[] = {
      {3 * kReadBlock, kReadBlock},                    // whole blocks
      {3 * kReadBlock + 1000, kReadBlock},             // a short last pack in a block of its own
      {2 * kReadBlock + 5 * kPackSize + 29, 1 << 20},  // short pack ending a part block
      {program.size() - 2047, 1000},                   // reads that split packs
      {4 * kReadBlock + 3, 3 * kPackSize + 1},         // 3 bytes past the last block
      {kPackSize - 1, kReadBlock},                     // one short pack only
  };
  for (const Case& c : cases) {
    ASSERT_LE(c.size, program.size());
    const std::vector<uint8_t> bytes(program.begin(),
                                     program.begin() + static_cast<std::ptrdiff_t>(c.size));
    testing::PassValues state = partlySelected();
    const std::vector<uint8_t> expected = packByPack(state, bytes);
    ChunkedSource input(bytes, c.chunk);
    MemorySink out;
    RecordingHost host;
    EXPECT_TRUE(Rebuild(state.rebuild(), input, host, out, "X").ok()) << c.size;
    EXPECT_EQ(input.position(), c.size);
    EXPECT_EQ(out.bytes().size(), expected.size()) << c.size << " " << c.chunk;
    EXPECT_TRUE(out.bytes() == expected) << c.size << " " << c.chunk;
    if (c.size > kPackSize) {
      EXPECT_LT(expected.size(), bytes.size());  // packs were dropped
    }
  }
}

TEST(Rebuild, ACancelInTheMiddleOfABlockKeepsThePackItCameAfterAndNoneBehindIt) {
  // The source starts 10 packs in, so the 4 MiB point lies inside a block.
  const std::vector<uint8_t> source = sampleProgram(600);
  constexpr size_t kStart = 10 * kPackSize;
  testing::PassValues state = partlySelected();
  MemorySource input(source);
  std::vector<uint8_t> skipped(kStart);
  size_t got = 0;
  ASSERT_TRUE(input.read(skipped.data(), kStart, got).ok());
  ASSERT_EQ(got, kStart);
  MemorySink out;
  RecordingHost host;
  host.onEvents = [&](int) { state.stop.request(StopReason::UserCancel); };
  EXPECT_TRUE(Rebuild(state.rebuild(), input, host, out, "X").ok());
  EXPECT_EQ(state.stop.reason(), StopReason::UserCancel);
  EXPECT_EQ(host.eventPoints, 1);
  EXPECT_FALSE(host.cancelEnabled);
  // Everything up to and including the pack that ends at 4 MiB, decided pack by pack.
  const std::vector<uint8_t> upTo4MiB(source.begin(), source.begin() + 4 * 1048576);
  const std::vector<uint8_t> expected = packByPack(partlySelected(), upTo4MiB, kStart);
  EXPECT_EQ(out.bytes().size(), expected.size());
  EXPECT_TRUE(out.bytes() == expected);
  EXPECT_EQ(input.position(), kStart + 16 * kReadBlock);  // the block it was in was read
}

class FailingSink : public ByteSink {
 public:
  Status write(const uint8_t*, size_t) override {
    ++writes;
    return status_;
  }
  int writes = 0;
  Status close() override { return status_; }
  const std::string& path() const override { return path_; }
  const Status& status() const override { return status_; }

 private:
  std::string path_ = "full";
  Status status_ = Status::failure(Status::Code::WriteFailed, "No space left on device");
};

class FailingSource : public ByteSource {
 public:
  Status read(uint8_t*, size_t, size_t& got) override {
    got = 0;
    return status_;
  }
  uint64_t size() const override { return 4096; }
  uint64_t position() const override { return 0; }
  const Status& status() const override { return status_; }

 private:
  Status status_ = Status::failure(Status::Code::ReadFailed, "Input/output error");
};

TEST(Rebuild, ReadAndWriteFailuresEndThePass) {
  const std::vector<uint8_t> source = sampleProgram(100);  // 800 packs, several blocks
  testing::PassValues state;
  RecordingHost host;
  MemorySource input(source);
  FailingSink full;
  EXPECT_EQ(Rebuild(state.rebuild(), input, host, full, "X"), full.status());
  // The kept packs of a block are written at its end: the pass stops after the first block.
  EXPECT_EQ(input.position(), kReadBlock);
  EXPECT_EQ(full.writes, 1);
  FailingSource broken;
  MemorySink out;
  EXPECT_EQ(Rebuild(state.rebuild(), broken, host, out, "X"), broken.status());
  EXPECT_FALSE(host.cancelEnabled);
}

}  // namespace
}  // namespace korvell
