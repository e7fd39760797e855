#include "engine/rebuild.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "engine/packs.h"
#include "engine/read_buffer.h"
#include "engine/stream_kinds.h"
#include "engine/walker.h"

namespace korvell {

namespace {

// An MPEG-2 pack header: 00 00 01 BA, SCR and mux rate (bytes 4-12), then 5 reserved bits and
// pack_stuffing_length (byte 13). With no stuffing the next start code is at byte 14.
constexpr size_t kStuffingByte = 13;

// A PES packet at byte 14: start code prefix 14-16, stream_id 17, PES_packet_length 18-19,
// '10' and flags 20, PTS_DTS_flags and the other flags 21, PES_header_data_length 22, the
// optional fields from 23 on.
constexpr size_t kStreamId = 17;
constexpr size_t kPacketLength = 18;
constexpr size_t kFlags1 = 20;
constexpr size_t kFlags2 = 21;
constexpr size_t kHeaderLength = 22;
constexpr size_t kOptionalFields = 23;

// A system header at byte 14: header_length 18-19, rate_bound 20-22, then audio_bound (6 bits),
// fixed_flag, CSPS_flag (byte 23) and the two lock flags, a marker and video_bound (byte 24).
constexpr size_t kAudioBound = 23;
constexpr size_t kVideoBound = 24;
constexpr size_t kSystemHeaderMinLength = 6;  // header_length up to and including byte 24

// The PES flags that add fields before the PES extension (ESCR, ES rate, DSM trick mode,
// additional copy info, CRC), and the extension flags that add fields before the P-STD
// buffer (private data, pack header field, packet sequence counter). The fixed offsets only
// hold when all of them are clear.
constexpr uint8_t kFieldsBeforeExtension = 0x3E;
constexpr uint8_t kFieldsBeforePstd = 0xE0;
constexpr uint8_t kPstdFlag = 0x10;
constexpr uint8_t kExtension2Flag = 0x01;

// Where the stream of a pack lies, when the fixed offsets find it.
struct StreamField {
  const StreamKindInfo* kind;
  size_t offset;  // the byte that holds the identifier
};

// A stream of a selectable kind, found by the fixed offsets.
std::optional<StreamField> selectableField(const StreamKindInfo* kind, size_t offset) {
  if (kind == nullptr || !kind->registered || !kind->selectable) return std::nullopt;
  return StreamField{kind, offset};
}

bool hasPackHeader(std::span<const uint8_t> pack) {
  return pack.size() >= 4 && pack[0] == 0x00 && pack[1] == 0x00 && pack[2] == 0x01 &&
         pack[3] == kPackStart;
}

// An MPEG-2 pack header without stuffing, followed by a start code at byte 14.
bool startCodeAt14(std::span<const uint8_t> pack) {
  return pack.size() > kFlags1 && (pack[4] & 0xC0) == 0x40 && (pack[kStuffingByte] & 0x07) == 0 &&
         pack[14] == 0x00 && pack[15] == 0x00 && pack[16] == 0x01;
}

// The end of the PES packet at byte 14 (one past its last byte), or nothing when it does not
// fit a whole pack. A short last pack is measured like a whole one, so that it is decided by
// its stream as long as the identifier byte itself is there.
std::optional<size_t> packetEnd(std::span<const uint8_t> pack) {
  const size_t length = static_cast<size_t>(pack[kPacketLength] << 8 | pack[kPacketLength + 1]);
  const size_t end = kFlags1 + length;
  if (end > kPackSize) return std::nullopt;
  return end;
}

// Finds the identifier byte of a pack's stream by the fixed offsets, checking that every
// field the offsets pass over is what they assume. Nothing when the pack is not a stream of
// a selectable kind or its layout differs.
std::optional<StreamField> locateStream(std::span<const uint8_t> pack) {
  if (!startCodeAt14(pack)) return std::nullopt;
  const uint8_t streamId = pack[kStreamId];
  const StreamKindInfo* videoKind = findKind(IdSpace::StreamId, streamId);
  if (videoKind != nullptr && videoKind->family == Family::Video) {
    if (!packetEnd(pack)) return std::nullopt;
    return selectableField(videoKind, kStreamId);
  }
  if (streamId != kPrivateStream1 && streamId != kExtendedStreamId) return std::nullopt;

  const auto end = packetEnd(pack);
  if (!end || *end <= kOptionalFields || pack.size() <= kOptionalFields ||
      (pack[kFlags1] & 0xC0) != 0x80) {
    return std::nullopt;
  }
  const uint8_t flags2 = pack[kFlags2];
  const size_t headerEnd = kOptionalFields + pack[kHeaderLength];
  if (headerEnd > *end) return std::nullopt;

  if (streamId == kPrivateStream1) {
    // The substream byte follows the PES header.
    if (headerEnd >= *end || headerEnd >= pack.size()) return std::nullopt;
    // Subpictures of slots 16 to 31 have no selectable slot and stay as they are.
    const uint8_t q = pack[headerEnd];
    return selectableField(findKind(IdSpace::Substream, q), headerEnd);
  }

  // Extended stream id: PTS and DTS (forbidden: DTS alone), then the extension flag byte,
  // the P-STD buffer field when flagged, and the extension-2 field: marker and length,
  // then stream_id_extension_flag 0 and the 7-bit extension.
  const uint8_t ptsDts = flags2 >> 6;
  if (ptsDts == 1 || (flags2 & 0x01) == 0 || (flags2 & kFieldsBeforeExtension) != 0) {
    return std::nullopt;
  }
  const size_t stamps = ptsDts == 3 ? 10 : ptsDts == 2 ? 5 : 0;
  const size_t extensionFlags = kOptionalFields + stamps;
  if (extensionFlags >= headerEnd || headerEnd > pack.size()) return std::nullopt;
  const uint8_t flags = pack[extensionFlags];
  if ((flags & kFieldsBeforePstd) != 0 || (flags & kExtension2Flag) == 0) return std::nullopt;
  const size_t extension2 = extensionFlags + 1 + ((flags & kPstdFlag) ? 2 : 0);
  const size_t offset = extension2 + 1;
  if (offset >= headerEnd || (pack[extension2] & 0x7F) == 0) return std::nullopt;
  const uint8_t extension = pack[offset];
  return selectableField(findKind(IdSpace::Extension, extension), offset);
}

int selectedStreams(const RebuildPass& pass, Family family, int slots) {
  int count = 0;
  for (int i = 0; i < slots; ++i) {
    const Slot slot{family, i};
    if (pass.selection.isSelected(slot) && pass.registry.registeredId(slot) != -1) ++count;
  }
  return count;
}

// Sets the system header's bounds to the kept streams; its other bits stay as they are.
void rewriteSystemHeader(const RebuildPass& pass, std::span<uint8_t> pack) {
  if (!startCodeAt14(pack) || pack[kStreamId] != kSystemHeader || pack.size() <= kVideoBound) {
    return;
  }
  const size_t headerLength =
      static_cast<size_t>(pack[kPacketLength] << 8 | pack[kPacketLength + 1]);
  if (headerLength < kSystemHeaderMinLength) return;
  const int video = selectedStreams(pass, Family::Video, kVideoSlots);
  const int audio = selectedStreams(pass, Family::Audio, kAudioSlots);
  pack[kVideoBound] = static_cast<uint8_t>((pack[kVideoBound] & 0xE0) | video);
  pack[kAudioBound] = static_cast<uint8_t>((pack[kAudioBound] & 0x03) | audio << 2);
}

Status finishRebuild(RunHost& host, Status end) {
  host.setCancelEnabled(false);
  return end;
}

}  // namespace

uint8_t renumberedId(Renumbering& renumbering, const StreamKindInfo& kind, uint8_t id) {
  std::array<uint8_t, 256>& newId = renumbering.newId;
  if (newId[id] != 0xFF) return newId[id];
  uint8_t& counter = kind.family == Family::Video   ? renumbering.nextVideo
                     : kind.family == Family::Audio ? renumbering.nextAudio
                                                    : renumbering.nextSub;
  // More kept streams than the codec can number (a ninth AC-3 number would be DTS, a ninth
  // DTS number would land in the slot of the first): the stream keeps its identifier rather
  // than change its codec or share a slot.
  const int candidate = idOfSlot(kind, counter);
  if (candidate < 0) {
    newId[id] = id;
    return id;
  }
  newId[id] = static_cast<uint8_t>(candidate);
  ++counter;
  return newId[id];
}

PackAction rebuildPack(const RebuildPass& pass, std::span<uint8_t> pack) {
  if (!hasPackHeader(pack)) return PackAction::Drop;
  rewriteSystemHeader(pass, pack);
  const auto field = locateStream(pack);
  if (!field) return PackAction::Write;
  // The stream's slot is the one the registry holds it in; a stream the Read run did not
  // register stays in the output.
  const uint8_t id = pack[field->offset];
  const std::optional<Slot> slot = pass.registry.slotHolding(field->kind->family, id);
  if (slot && !pass.selection.isSelected(*slot)) return PackAction::Drop;
  // A kept stream's scrambled pack is never copied: the pass stops at it.
  if ((pack[kFlags1] & 0xC0) == 0x80 && (pack[kFlags1] & 0x30) != 0) {
    if (slot) pass.results.scrambled[static_cast<size_t>(slotNumber(*slot))] = true;
    pass.stop.request(StopReason::Scrambled);
    return PackAction::Drop;
  }
  pack[field->offset] = renumberedId(pass.renumbering, *field->kind, id);
  return PackAction::Write;
}

Status Rebuild(const RebuildPass& pass, ByteSource& source, RunHost& host, ByteSink& out,
               const std::string& fileName) {
  pass.stop.clear();
  host.setCancelEnabled(true);
  const auto started = std::chrono::steady_clock::now();
  const uint64_t size = source.size();
  ReadBuffer readBuffer;
  uint8_t* buffer = readBuffer.block();
  // The kept packs of a block, as runs of adjacent packs, written together at its end.
  std::vector<ByteRange> kept;
  kept.reserve(kReadBlock / kPackSize);
  Status end;
  bool atEnd = false;
  while (!atEnd && source.position() < size && !pass.stop.requested()) {
    // A whole block unless the input ends first; a file whose size is not a multiple of
    // 2,048 ends in a short pack, which is decided by the same rules within its own length
    // and, when kept, written as it stands.
    uint64_t position = source.position();
    size_t n = 0;
    while (n < kReadBlock) {
      size_t got = 0;
      end = source.read(buffer + n, kReadBlock - n, got);
      if (got == 0) {
        // An error (after the packs before it are written), or a file that shrank under us.
        atEnd = true;
        break;
      }
      n += got;
    }
    kept.clear();
    for (size_t at = 0; at < n && !pass.stop.requested();) {
      const size_t length = std::min(kPackSize, n - at);
      position += length;
      if (position % kProgressInterval == 0) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        showProgress(host, "Rebuilding " + fileName + " ", position, size, elapsed.count());
        host.processEvents();
      }
      uint8_t* pack = buffer + at;
      if (rebuildPack(pass, {pack, length}) == PackAction::Write) {
        if (!kept.empty() && kept.back().data + kept.back().size == pack) {
          kept.back().size += length;
        } else {
          kept.push_back({pack, length});
        }
      }
      at += length;
    }
    if (!kept.empty()) {
      if (Status written = out.writeMany(kept); !written.ok()) return finishRebuild(host, written);
    }
  }
  return finishRebuild(host, end);
}

}  // namespace korvell
