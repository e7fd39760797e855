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

/// The header fields of a DVD-Audio LPCM packet.
struct AobLpcmHeader {
  uint8_t wordLengths = 0x0F;  ///< group 1 in the high nibble, group 2 in the low (0xF unused)
  uint8_t rates = 0x0F;        ///< likewise: 0 48 kHz, 1 96 kHz, 2 192 kHz, 8..10 the 44.1 kHz row
  uint8_t assignment = 1;      ///< channel assignment 0..20
};

/// One channel group's samples for aobLpcmPayload: interleaved in the group's channel order,
/// each sample's bits at the top of its 32 bits.
struct AobGroupSamples {
  int bits = 16;
  int channels = 2;
  std::vector<int32_t> samples;
};

/// Samples laid out as DVD-Audio LPCM payload: unit after unit, two sample periods of group 2
/// (when given), then 2 x `ratio` periods of group 1 (two at a time); each run of two periods
/// holds the high 16 bits of its samples (big-endian, period by period, channel by channel),
/// then for 24 bits their low bytes, for 20 bits their low nibbles two to a byte (the first in
/// the high nibble). Samples past the last whole unit are left out.
std::vector<uint8_t> aobLpcmPayload(const AobGroupSamples& group1, const AobGroupSamples* group2,
                                    int ratio = 1);

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
  /// A DVD-Video or HD DVD LPCM packet whose header gives `format` as its quantisation,
  /// sampling frequency and channels byte (0x81: 24 bits, 48 kHz, 2 channels).
  PsWriter& dvdLpcm(uint8_t substreamId, uint8_t format, std::span<const uint8_t> payload,
                    const PesFields& fields = {});
  /// A DVD-Audio LPCM packet: id, continuity counter, a header of eight bytes after its 16-bit
  /// length (first access unit pointer, 0x10, word lengths, sampling frequencies, 0, channel
  /// assignment, 0x80), then the payload.
  PsWriter& aobLpcm(uint8_t substreamId, const AobLpcmHeader& header,
                    std::span<const uint8_t> payload, const PesFields& fields = {});
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
