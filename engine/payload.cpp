// Payload extraction: the demux writes of the walker.
#include "engine/walker_internal.h"

namespace korvell {

void Walker::append(ByteSink* sink, const uint8_t* data, size_t length) {
  if (sink == nullptr) return;
  if (!sink->write(data, length).ok() && state_.failedSink == nullptr) {
    // The run reports the failure; the pass ends at its next poll.
    state_.failedSink = sink;
    state_.requestStop(StopReason::WriteFailed);
  }
}

void Walker::writePiece(const uint8_t* piece, size_t length) {
  switch (route_) {
    case kRouteVideo:
      if (state_.isSelected({Family::Video, videoIndex_})) {
        append(state_.videoOut[videoIndex_], piece, length);
      }
      break;
    case kRouteAudio:
      if (state_.isSelected({Family::Audio, audioIndex_})) {
        append(state_.audioOut[audioIndex_], piece, length);
      }
      break;
    case kRouteSubpicture: {
      const bool selected =
          subIndex_ < kSubSlots && state_.isSelected({Family::Subpicture, subIndex_});
      ByteSink* sink = selected ? state_.subOut[subIndex_] : nullptr;
      // Only a packet whose own header carried a PTS starts a ".sup" record: "SP", the PTS
      // rebased to the earliest audio or video PTS (little-endian), four zero bytes. A
      // continuation packet goes on the record before it.
      if (packetHasPts_) {
        packetHasPts_ = false;
        pts_ -= state_.firstPtsMin;
        if (sink != nullptr) {
          const uint8_t header[10] = {'S',
                                      'P',
                                      static_cast<uint8_t>(pts_),
                                      static_cast<uint8_t>(pts_ >> 8),
                                      static_cast<uint8_t>(pts_ >> 16),
                                      static_cast<uint8_t>(pts_ >> 24),
                                      0,
                                      0,
                                      0,
                                      0};
          append(sink, header, sizeof header);
          pts_ = 0;
        }
      }
      append(sink, piece, length);
      break;
    }
    default:
      break;
  }
}

}  // namespace korvell
