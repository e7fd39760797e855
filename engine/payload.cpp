// Payload extraction: the demux writes of the walker.
#include "engine/walker_internal.h"

namespace korvell {

namespace {

// Slots past the selectable ones (subpicture 16..31) are never written.
bool selectable(Slot slot) {
  return slot.index >= 0 && slot.index < (slot.family == Family::Subpicture ? kSubSlots : 16);
}

}  // namespace

void Walker::scrambledPiece() {
  packetFirstPiece_ = false;
  const Slot slot = currentSlot();
  if (!selectable(slot)) return;
  state_.scrambled[static_cast<size_t>(slotNumber(slot))] = true;
  // Its file would hold the clear packets before this one and nothing after: the run stops.
  if (mode_ == WalkMode::Demux && state_.isSelected(slot)) {
    state_.requestStop(StopReason::Scrambled);
  }
}

void Walker::writePiece(const uint8_t* piece, size_t length) {
  const Slot slot = currentSlot();
  const bool first = packetFirstPiece_;
  packetFirstPiece_ = false;
  if (!selectable(slot) || !state_.isSelected(slot)) return;
  StreamOutput* output = state_.outputOf(slot);
  if (output == nullptr) return;
  PieceContext context;
  if (first) {
    context.packetStart = true;
    if (packetHasPts_) context.pts = packetPts_;
    if (route_ == kRouteAudio) context.privateHeader = {aobHeader_.data(), aobHeaderKept_};
  }
  context.id = static_cast<uint8_t>(route_ == kRouteVideo   ? videoSub_
                                    : route_ == kRouteAudio ? audioSub_
                                                            : subSub_);
  if (!output->piece(piece, length, context).ok() && state_.failedOutput == nullptr) {
    // The run reports the failure; the pass ends at its next poll.
    state_.failedOutput = output;
    state_.requestStop(StopReason::WriteFailed);
  }
}

}  // namespace korvell
