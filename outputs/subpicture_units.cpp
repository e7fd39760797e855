#include "outputs/subpicture_units.h"

#include <algorithm>
#include <utility>

#include "engine/big_endian.h"

namespace korvell {

namespace {

constexpr size_t kTwoBitHead = 2;    // SPDSZ
constexpr size_t kExtendedHead = 6;  // 0x0000 and the 32-bit size

}  // namespace

std::optional<UnitForm> unitForm(std::span<const uint8_t> head) {
  if (head.size() < 2) return std::nullopt;
  return head[0] == 0 && head[1] == 0 ? UnitForm::Extended : UnitForm::TwoBit;
}

std::optional<uint32_t> unitSize(std::span<const uint8_t> head) {
  const std::optional<UnitForm> form = unitForm(head);
  if (!form) return std::nullopt;
  if (*form == UnitForm::TwoBit) return be16(head.data());
  if (head.size() < kExtendedHead) return std::nullopt;
  return be32(head.data() + 2);
}

void SubpictureUnitAssembler::piece(const uint8_t* data, size_t size, const PieceContext& context,
                                    std::vector<SubpictureUnit>& done) {
  if (context.packetStart) {
    if (context.pts) {
      if (state_ == State::InUnit) drop();  // its size field ran past its data
      state_ = State::InUnit;
      unit_ = SubpictureUnit{};
      unit_.pts = *context.pts;
      unit_.id = context.id;
      size_.reset();
    } else if (state_ != State::InUnit) {
      state_ = State::Skipping;
    }
  }
  if (state_ == State::InUnit) take(data, size, done);
}

void SubpictureUnitAssembler::take(const uint8_t* data, size_t size,
                                   std::vector<SubpictureUnit>& done) {
  size_t used = 0;
  // The size field may itself be cut between pieces or packets: gather it byte by byte.
  while (!size_) {
    if (used == size) return;
    unit_.bytes.push_back(data[used++]);
    if (unit_.bytes.size() < kTwoBitHead) continue;
    unit_.form = *unitForm(unit_.bytes);
    const std::optional<uint32_t> unitBytes = unitSize(unit_.bytes);
    if (!unitBytes) continue;  // an 8-bit unit's size is not complete yet
    const bool extended = unit_.form == UnitForm::Extended;
    if (*unitBytes < (extended ? kMinExtendedUnit : kMinTwoBitUnit) ||
        (extended && *unitBytes > kMaxExtendedUnit)) {
      drop();
      return;
    }
    size_ = unitBytes;
    unit_.bytes.reserve(*unitBytes);
  }
  const size_t wanted = *size_ - unit_.bytes.size();
  const size_t taken = std::min(wanted, size - used);
  unit_.bytes.insert(unit_.bytes.end(), data + used, data + used + taken);
  if (unit_.bytes.size() < *size_) return;
  done.push_back(std::move(unit_));
  ++units_;
  unit_ = SubpictureUnit{};
  size_.reset();
  state_ = State::Skipping;  // what follows in this packet is padding
}

void SubpictureUnitAssembler::finish() {
  if (state_ == State::InUnit) drop();
  state_ = State::Idle;
}

void SubpictureUnitAssembler::drop() {
  ++dropped_;
  unit_ = SubpictureUnit{};
  size_.reset();
  state_ = State::Skipping;
}

}  // namespace korvell
