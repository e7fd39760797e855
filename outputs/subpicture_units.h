// Subpicture units (SPUs) out of the payload pieces of one subpicture stream. A unit is the
// bitmap and display commands of one subtitle; it spans one or more packets, and only the
// packet that starts it carries a PTS. The pieces come as the walker hands them to a
// StreamOutput (a packet's payload after its substream byte, possibly cut at read-block ends).
//
// Two forms of unit share the substreams:
//   2-bit (DVD):     SPDSZ (16-bit size of the whole unit) | SP_DCSQTA (16-bit offset) | ...
//   8-bit (HD DVD):  0x0000 | 32-bit size of the whole unit | 32-bit control offset | ...
// A 2-bit unit cannot be 0 bytes long, so two zero bytes at the start mark the 8-bit form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/stream_output.h"

namespace korvell {

enum class UnitForm : uint8_t {
  TwoBit,   ///< DVD subpicture: 2 bits a pixel, 16-bit size and offsets
  Extended  ///< HD DVD subpicture: 8 bits a pixel, 32-bit size and offsets
};

/// The smallest sizes a unit's size field may give: the size and control offset fields alone.
constexpr uint32_t kMinTwoBitUnit = 4;
constexpr uint32_t kMinExtendedUnit = 10;
/// The largest 8-bit unit taken; a larger size field is damage (it would only make the
/// assembler hold the rest of the stream).
constexpr uint32_t kMaxExtendedUnit = 16 * 1024 * 1024;

/// One whole unit.
struct SubpictureUnit {
  std::vector<uint8_t> bytes;  ///< exactly the size its size field gives, that field included
  uint32_t pts = 0;            ///< the PTS of the packet that starts it
  UnitForm form = UnitForm::TwoBit;
  uint8_t id = 0;  ///< the substream identifier of the packet that starts it
  bool operator==(const SubpictureUnit&) const = default;
};

/// The form a unit's first bytes give, or nothing while fewer than two bytes are there.
std::optional<UnitForm> unitForm(std::span<const uint8_t> head);

/// The size a unit's first bytes give (the whole unit, its size field included): from two
/// bytes for a 2-bit unit, from six for an 8-bit one; nothing while too few are there.
std::optional<uint32_t> unitSize(std::span<const uint8_t> head);

/// Turns the pieces of one stream, in file order, into whole units. Pure: no I/O, no
/// console. Rules, which hold for damaged streams too:
/// - a unit starts at the start of a packet whose header carries a PTS, and only there;
/// - a packet that starts without a PTS continues the open unit, or is skipped when none is
///   open (a stream cut in the middle of a unit, the rest of a dropped unit);
/// - a unit is complete when it holds the bytes its size field gives; the rest of the packet
///   that completes it is padding and skipped;
/// - an open unit is dropped (and counted) when a packet with a PTS comes before it is
///   complete (its size field ran past its data), when its size field is too small or too
///   large, or when the stream ends (finish()).
class SubpictureUnitAssembler {
 public:
  /// One piece, as StreamOutput::piece gets it. Units it completes are appended to `done`.
  void piece(const uint8_t* data, size_t size, const PieceContext& context,
             std::vector<SubpictureUnit>& done);
  /// The stream has ended: a unit still open is dropped and counted.
  void finish();

  /// Units completed so far.
  uint64_t units() const { return units_; }
  /// Units dropped so far (damaged, interrupted or cut off by the end of the stream).
  uint64_t dropped() const { return dropped_; }
  /// Whether a unit is open (started, not complete).
  bool open() const { return state_ == State::InUnit; }
  /// The form of the open unit, once its first two bytes are in.
  std::optional<UnitForm> openForm() const {
    if (state_ != State::InUnit || unit_.bytes.size() < 2) return std::nullopt;
    return unit_.form;
  }

 private:
  enum class State : uint8_t { Idle, InUnit, Skipping };
  void drop();
  /// Takes bytes into the open unit, up to its end.
  void take(const uint8_t* data, size_t size, std::vector<SubpictureUnit>& done);

  State state_ = State::Idle;
  SubpictureUnit unit_;
  std::optional<uint32_t> size_;  // the open unit's size, once its size field is complete
  uint64_t units_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace korvell
