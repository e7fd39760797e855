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
  pass_.results.scrambled[static_cast<size_t>(slotNumber(slot))] = true;
  // Its file would hold the clear packets before this one and nothing after: the run stops.
  if (mode_ == WalkMode::Demux && pass_.selection.isSelected(slot)) {
    pass_.stop.request(StopReason::Scrambled);
  }
}

void Walker::writePiece(const uint8_t* piece, size_t length) {
  const Slot slot = currentSlot();
  const bool first = packetFirstPiece_;
  packetFirstPiece_ = false;
  if (!selectable(slot) || !pass_.selection.isSelected(slot) || pass_.sinks == nullptr) return;
  DemuxSinks& sinks = *pass_.sinks;
  StreamOutput* output = sinks.outputOf(slot);
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
  if (!output->piece(piece, length, context).ok() && sinks.failedOutput == nullptr) {
    // The run reports the failure; the pass ends at its next poll.
    sinks.failedOutput = output;
    pass_.stop.request(StopReason::WriteFailed);
  }
}

}  // namespace korvell
