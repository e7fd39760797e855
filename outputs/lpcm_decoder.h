// LPCM as DVD-Video, HD DVD and DVD-Audio discs store it, turned into plain interleaved
// samples: the formats their headers give and the byte layouts of their samples. No files, no
// console: the PCM output (outputs/pcm_output.h) writes what this decodes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/status.h"

namespace korvell {

/// An allocator whose vectors leave the elements they add uninitialised, for buffers that are
/// written over whole right after they grow (the WAV bytes of LpcmDecoder::decodeWav).
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using WavBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

/// What one PCM file holds: a stream, or one channel group of a DVD-Audio stream.
struct PcmFormat {
  int bits = 16;               ///< significant bits of a sample: 16, 20 or 24
  int rate = 48000;            ///< sample periods a second
  int channels = 2;            ///< 1 to 8
  uint32_t channelMask = 0x3;  ///< the WAV speaker bits of the channels (dwChannelMask)
  bool operator==(const PcmFormat&) const = default;
};

/// The format a DVD-Video or HD DVD LPCM header gives. `header` holds the header bytes after
/// the first access unit pointer: emphasis/mute/frame number; quantisation (bits 7-6: 16, 20,
/// 24 bits), sampling frequency (bits 5-4: 48, 96, 192 kHz) and channels - 1 (bits 2-0);
/// dynamic range. The channels get the WAV speakers of the usual layout of their count (see
/// dvdChannelMask). Into *format; Invalid, its reason what is wrong ("a reserved quantisation
/// code"), when the header is shorter than two bytes or uses a reserved code.
Status dvdLpcmFormat(std::span<const uint8_t> header, PcmFormat* format);

/// The WAV speakers of `channels` DVD-Video or HD DVD LPCM channels, which carry no channel
/// assignment: the layouts FLAC takes for these counts, in the same order.
uint32_t dvdChannelMask(int channels);

/// What a DVD-Audio LPCM header gives: up to two channel groups, each with its own word length
/// and sampling frequency.
struct AobLpcmFormat {
  PcmFormat group1;
  std::optional<PcmFormat> group2;  ///< when the channel assignment has a second group
  int assignment = 1;               ///< the channel assignment code, 0 to 20
  bool operator==(const AobLpcmFormat&) const = default;
  /// Whether the groups can share one file: there is no group 2, or it has group 1's sampling
  /// frequency and word length.
  bool oneFile() const;
  /// Both groups as one format, their channels in WAV order (oneFile() must hold).
  PcmFormat merged() const;
};

/// The format a DVD-Audio LPCM header gives. `header` holds the header bytes after its 16-bit
/// length field: the first access unit pointer (2 bytes), one byte, the word lengths of
/// groups 1 and 2 (high and low nibble: 16, 20, 24 bits; 0xF unused), their sampling
/// frequencies (likewise: 48, 96, 192 kHz, or with bit 3 set 44.1, 88.2, 176.4 kHz), one
/// byte, the channel assignment (0 to 20). Into *format; Invalid, its reason what is wrong,
/// when the header is shorter than seven bytes, uses a reserved code, marks the second group of
/// its assignment unused, or gives group 2 a sampling frequency that is not group 1's, its half
/// or its quarter.
Status aobLpcmFormat(std::span<const uint8_t> header, AobLpcmFormat* format);

/// Decodes the payload of one LPCM stream into interleaved 32-bit samples in WAV channel
/// order, each sample's bits at the top and the rest zero (a 16-bit sample s becomes s << 16,
/// a 20-bit one s << 12). The payload may come in pieces cut anywhere: the bytes of a unit
/// (the smallest run of payload that holds whole sample periods of every output) that a piece
/// leaves incomplete wait for the next.
///
/// DVD-Video and HD DVD: 16-bit samples are big-endian words in channel order. 20- and 24-bit
/// samples come in groups of four (two for one channel) taken in that same order: the high 16
/// bits of each as a big-endian word, then the rest of each, a byte for 24 bits, a nibble for
/// 20 bits (two to a byte, the first sample's in the high nibble).
/// DVD-Audio: a unit is two sample periods of group 2, then two of group 1 (2 x r when group 1
/// runs r times as fast). The two periods of a group are laid out like a DVD-Video group: the
/// high 16 bits of all their samples (period by period, channel by channel), then the rest of
/// each (for 20 and 24 bits).
class LpcmDecoder {
 public:
  static constexpr int kMaxOutputs = 2;

  /// DVD-Video or HD DVD payload of `format`.
  explicit LpcmDecoder(const PcmFormat& format);
  /// DVD-Audio payload: both groups into one output (format.oneFile() must hold) when `merge`,
  /// else one output per group, group 1 first.
  LpcmDecoder(const AobLpcmFormat& format, bool merge);

  int outputs() const { return outputs_; }
  const PcmFormat& output(int index) const { return formats_[index]; }
  size_t unitSize() const { return unitSize_; }
  /// Bytes of an incomplete unit waiting for the next piece.
  size_t pending() const { return pending_; }

  /// Appends the samples of every unit that `data`, after the waiting bytes, completes to
  /// out[0] (and out[1] with two outputs), and keeps the bytes of an incomplete unit.
  void decode(const uint8_t* data, size_t size, std::vector<int32_t>* out);
  /// As decode, but appends each output's samples as the data bytes of a WAV file:
  /// little-endian, a 16-bit sample in 2 bytes, a 20- or 24-bit one in 3 (a 20-bit sample's
  /// four low bits zero).
  void decodeWav(const uint8_t* data, size_t size, WavBytes* out);
  /// The bytes of one sample of output `index` in decodeWav: 2 or 3.
  size_t wavBytes(int index) const {
    return formats_[static_cast<size_t>(index)].bits == 16 ? 2 : 3;
  }
  /// Drops the waiting bytes.
  void reset() { pending_ = 0; }

 private:
  // Where one sample of a unit lies and where it goes.
  struct Sample {
    uint16_t high;         // offset of its high 16 bits
    uint16_t low;          // offset of the byte with the rest
    uint8_t lowMask = 0;   // the rest's bits in that byte (none for 16 bits)
    uint8_t lowShift = 0;  // the shift that puts them at the top of the byte below the high bits
    uint8_t output;
    uint16_t index;  // position among the output's samples of the unit
  };
  enum class Layout : uint8_t { Words, Groups, Table };

  void addGroup(int bits, int count, const std::vector<std::pair<int, int>>& targets);
  template <typename Vector>
  void decodeInto(const uint8_t* data, size_t size, Vector* out);
  template <typename Vector>
  void decodeUnits(const uint8_t* data, size_t units, Vector* out) const;

  int outputs_ = 1;
  std::array<PcmFormat, kMaxOutputs> formats_{};
  std::array<size_t, kMaxOutputs> samplesPerUnit_{};
  Layout layout_ = Layout::Table;
  int groupSize_ = 4;  // Groups: samples to a group
  int bits_ = 16;      // Words and Groups: the word length
  size_t unitSize_ = 0;
  std::vector<Sample> table_;
  std::array<uint8_t, 256> carry_{};
  size_t pending_ = 0;
};

}  // namespace korvell
