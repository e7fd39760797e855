// Builds program streams in memory: packs, system headers, PES packets, private-stream-1
// substreams and navigation packets, for the tests, the sample disc and the benchmarks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvell::testing {

/// The optional fields of a PES header.
struct PesFields {
  std::optional<uint32_t> pts;               ///< 32-bit 90 kHz stamp (bit 32 written as 0)
  std::optional<uint32_t> dts;               ///< written only together with pts
  std::optional<uint8_t> streamIdExtension;  ///< the second extension field (extended stream id)
  bool pstdBuffer = false;                   ///< a P-STD buffer field before it
  int stuffing = 0;                          ///< 0xFF bytes at the end of the header
};

/// Header bytes a private-stream-1 substream puts before its payload: 1 for subpictures, 4 for
/// AC-3, DTS and E-AC-3, 5 for TrueHD, 7 for LPCM.
int substreamHeaderSize(uint8_t substreamId);

class PsWriter {
 public:
  static constexpr size_t kPackHeaderSize = 14;

  /// A 14-byte MPEG-2 pack header with the given system clock (90 kHz) and no stuffing.
  PsWriter& packHeader(uint64_t scr = 0, int stuffing = 0);
  /// A system header with the given bounds (18 bytes).
  PsWriter& systemHeader(int videoBound, int audioBound);
  /// A PES packet; its length field counts header and payload.
  PsWriter& pes(uint8_t streamId, std::span<const uint8_t> payload, const PesFields& fields = {});
  /// A PES packet whose length field says `lengthField` whatever follows (damaged input).
  PsWriter& pesWithLength(uint8_t streamId, uint16_t lengthField, std::span<const uint8_t> rest);
  /// A private-stream-1 packet: the substream header for the id's kind, then the payload.
  PsWriter& privateStream1(uint8_t substreamId, std::span<const uint8_t> payload,
                           const PesFields& fields = {});
  /// A padding packet whose whole length is `total` bytes (at least 6).
  PsWriter& padding(size_t total);
  /// A navigation pack's private-stream-2 packet with substream 1 and 52 data bytes
  /// (VOB number at bytes 24-25, the first and last video PTM at 44-47 and 48-51).
  PsWriter& navigationPacket(uint16_t vobNumber, uint32_t firstPtm, uint32_t lastPtm);
  PsWriter& raw(std::span<const uint8_t> bytes);

  /// Pads with a padding packet (or zero bytes when fewer than 6 are missing) up to the
  /// next multiple of 2,048 bytes.
  PsWriter& fillPack();

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }
  size_t size() const { return bytes_.size(); }

 private:
  void stamp(uint8_t prefix, uint32_t value);
  std::vector<uint8_t> bytes_;
};

/// The bytes of a PES header's optional part, to size packets: 3 fixed bytes plus fields.
size_t pesHeaderSize(const PesFields& fields);

}  // namespace korvell::testing
