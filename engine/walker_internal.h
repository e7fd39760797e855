// The walker's per-pass state, shared by its three source files: the state machine
// (walker.cpp), stream detection and the scan report (stream_detection.cpp) and payload
// extraction (payload.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/frame_counter.h"
#include "engine/stream_kinds.h"
#include "engine/walker.h"

namespace korvell {

/// What the payload of the current packet is.
enum Route : uint8_t {
  kRouteVideo = 0,
  kRouteAudio = 1,       // private stream 1 audio
  kRouteSkip = 2,        // payload discarded
  kRouteSkipPacket = 3,  // the whole packet discarded
  kRouteMpegAudio = 4,
  kRoutePrivate1 = 5,  // private stream 1 before its substream header
  kRouteSubpicture = 6,
  kRoutePrivate2 = 7,
  kRouteNone = 8,  // pass start
};

class Walker {
 public:
  Walker(const WalkerPass& pass, RunHost& host, WalkMode mode);
  /// Walks one block of n bytes; state carries over to the next block.
  void walkBlock(const uint8_t* block, size_t n);
  void reportSystemHeader(const uint8_t* block);

 private:
  // walker.cpp: the header state machine.
  void step(uint8_t byte);
  /// No header field is pending: only a start code can change the state.
  bool searching() const {
    return lengthBytes_ == 0 && ps2Bytes_ <= 0 && dsiBytes_ <= 0 && fixedBytes_ <= 0 &&
           ptsBytes_ <= 0 && ptsDtsBytes_ <= 0 && extBytes_ <= 0 && pstdBytes_ <= 0 &&
           ext2Bytes_ <= 0 && headerLeft_ <= 0 && subHeaderBytes_ <= 0 && privateHeaderLeft_ <= 0;
  }
  /// The first index from i on whose three preceding bytes are 00 00 01, or n.
  size_t nextCandidate(const uint8_t* block, size_t i, size_t n) const;
  void classifyStartCode();
  void ptsByte(uint8_t byte);
  void extensionByte(uint8_t byte);
  void substreamByte(uint8_t byte);
  void navigationByte();
  void endHeader();
  void startPayload(Route route);

  // stream_detection.cpp: registration and the scan report.
  /// The slot of a stream identifier in this pass: the slot it claimed when first seen, or
  /// kSlotNone when its family had no free slot left. A new claim is entered in the registry,
  /// reported in scan mode, and sets newlyRegistered_.
  int claimSlot(Family family, const StreamKindInfo& kind, uint8_t id);
  /// The current packet belongs to the stream `id` of `kind`: sets the family's kind, slot
  /// index and identifier, registering a stream seen for the first time. False when the
  /// stream has no slot (its packet is to be skipped).
  bool registerVideo(const StreamKindInfo& kind, uint8_t id);
  bool registerAudio(const StreamKindInfo& kind, uint8_t id);
  bool registerSubpicture(const StreamKindInfo& kind, uint8_t id);
  /// The first payload piece of a stream in this pass: lowers firstPtsMin and, with Details
  /// on, prints the first PTS and substream id and runs the stream's analyser.
  void firstPiece(const uint8_t* block, size_t start, size_t length);
  void countFrames(const uint8_t* piece, size_t length);
  /// The current packet's stream and slot, by its route.
  Slot currentSlot() const;
  /// Scan mode: the current packet's PTS is its stream's last so far.
  void recordLastPts();

  // payload.cpp: the demux writes.
  void writePiece(const uint8_t* piece, size_t length);
  /// A piece of a packet whose scrambling bits are set: its stream is marked scrambled, and a
  /// Demux run that writes the stream stops.
  void scrambledPiece();

  void payloadPiece(const uint8_t* block, size_t start, size_t length);

  const WalkerPass& pass_;
  RunHost& host_;
  const WalkMode mode_;
  /// Scan mode: the record of the file being walked (the last of results.scannedFiles, which
  /// the caller adds), or null.
  ScannedFile* const file_;
  const bool aobSource_;

  uint32_t sync_ = 0;
  bool inPayload_ = false;
  Route route_ = kRouteNone;
  int32_t remaining_ = 0;
  int lengthBytes_ = 0;
  int fixedBytes_ = 0;
  uint8_t flags2_ = 0;
  int headerLeft_ = 0;
  int ptsBytes_ = 0;
  int ptsDtsBytes_ = 0;
  uint64_t stampBytes_ = 0;  // the PTS or DTS bytes read so far
  int extBytes_ = 0;
  int pstdBytes_ = 0;
  int ext2Bytes_ = 0;
  uint8_t extFlags_ = 0;
  int subHeaderBytes_ = 0;
  int privateHeaderLeft_ = 0;  // audio substream header bytes after the first four
  // A DVD-Audio LPCM header: its first bytes after the length field, for the details.
  std::array<uint8_t, 16> aobHeader_{};
  size_t aobHeaderKept_ = 0;
  int32_t skip_ = 0;
  int ps2Bytes_ = 0;
  int dsiBytes_ = 0;
  bool firstDsi_ = true;
  uint32_t firstPtm_ = 0;

  uint8_t streamId_ = 0;           // stream_id of the current packet
  bool packetHasPts_ = false;      // the current packet's own header carried a PTS
  bool packetScrambled_ = false;   // its PES_scrambling_control bits are set
  bool packetFirstPiece_ = false;  // the next payload piece is its packet's first
  uint32_t packetPts_ = 0;         // that PTS (pts_ itself is consumed by some streams)
  uint32_t pts_ = 0;
  uint32_t dts_ = 0;
  uint32_t videoPts_ = 0;
  uint32_t audioPts_ = 0;
  uint32_t subPts_ = 0;
  // The kind of the current packet's stream per family; null until a packet of it came.
  const StreamKindInfo* videoKind_ = nullptr;
  const StreamKindInfo* audioKind_ = nullptr;
  const StreamKindInfo* subKind_ = nullptr;
  // The slot each identifier claimed in this pass, per family; kSlotUnknown until first seen.
  static constexpr int8_t kSlotUnknown = -1;
  static constexpr int8_t kSlotNone = -2;
  std::array<std::array<int8_t, 256>, 3> slotOfId_ = [] {
    std::array<std::array<int8_t, 256>, 3> table{};
    for (auto& family : table)
      family.fill(kSlotUnknown);
    return table;
  }();
  bool newlyRegistered_ = false;
  int videoIndex_ = -1;
  int audioIndex_ = -1;
  int subIndex_ = -1;
  // The last three payload bytes of each video slot in this pass, so that the frame counter
  // reads a slot's pieces as one elementary stream.
  std::array<uint32_t, kVideoSlots> frameCarry_{kNoCarry, kNoCarry};
  int videoSub_ = 0;
  int audioSub_ = 0;
  int subSub_ = 0;
};

}  // namespace korvell
