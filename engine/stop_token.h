// Why a running pass is to stop before the end of its source: set by the front end (Cancel,
// Ctrl-C, closing) or by the pass itself (the fast check, a failed write, scrambled packets),
// polled by the walker before each block read and by the rebuild pass after each pack.
#pragma once

#include <cstdint>

namespace korvell {

/// Why a pass stopped early. Each pass starts with None.
enum class StopReason : uint8_t {
  None,
  UserCancel,      ///< the Cancel command (or Ctrl-C)
  FastCheckLimit,  ///< a fast scan passed its limit
  WriteFailed,     ///< an output could not be written (DemuxSinks::failedOutput tells which)
  Scrambled,       ///< a selected stream's packets are scrambled (ReadResults::scrambled)
  Closing,         ///< the window is closing
};

class StopToken {
 public:
  /// Asks the running pass to stop at its next poll. The first reason stays: a Cancel after a
  /// failed write is still a failed write.
  void request(StopReason reason) {
    if (reason_ == StopReason::None) reason_ = reason;
  }
  bool requested() const { return reason_ != StopReason::None; }
  StopReason reason() const { return reason_; }
  /// A pass's start: nothing asked.
  void clear() { reason_ = StopReason::None; }

 private:
  StopReason reason_ = StopReason::None;
};

}  // namespace korvell
