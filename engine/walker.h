// The pack and PES walker: one pass over a source.
#pragma once

#include <cstdint>
#include <string>

#include "engine/byte_io.h"
#include "engine/read_results.h"
#include "engine/run_options.h"
#include "engine/selection.h"
#include "engine/stop_token.h"
#include "engine/stream_output.h"
#include "engine/stream_registry.h"
#include "report/console.h"

namespace korvell {

enum class WalkMode : uint8_t {
  Scan = 0,   ///< the Read run: find and report streams
  Demux = 1,  ///< the Demux run: append the payload of selected streams to their sinks
};

constexpr uint64_t kProgressInterval = 4 * 1048576;  // status text and pending events
constexpr uint64_t kRepaintInterval = 64 * 1048576;
constexpr uint64_t kFastCheckLimit = 300000000;  // a fast scan stops past this position

/// What one pass of the walker reads and fills. Every reference must stay alive for the pass.
struct WalkerPass {
  ByteSource& source;  ///< read from its position to its end
  /// The source is a DVD-Audio object (.AOB): its substream 0xA1 is MLP and its LPCM headers
  /// give their own length.
  bool audioObject = false;
  const RunOptions& options;   ///< read live
  StreamRegistry& registry;    ///< reset at the pass's start
  const Selection& selection;  ///< read live
  /// Filled: times, details, frame counts and rates, the duration, the earliest PTS, the
  /// scrambled streams; in scan mode also the last of scannedFiles, which the caller adds.
  ReadResults& results;
  StopToken& stop;  ///< cleared at the pass's start, polled before each block read
  /// Demux mode: where the payload of selected streams goes; null in scan mode.
  DemuxSinks* sinks = nullptr;
};

/// Walks pass.source in blocks of kReadBlock bytes, shifting every byte through a start-code
/// register; classifies each PES packet to a stream slot and hands its payload, as spans, to
/// the scan report or the sinks. Resets the registry first, polls the stop token before each
/// block read, and lets host process events every 4 MiB. Never opens or closes a file. A
/// failed sink write stops the pass at the next poll (StopReason::WriteFailed) and is left in
/// sinks->failedOutput; a stop zeroes the frame counts. Returns the source's failure when it
/// could not be read to its end, Ok otherwise; malformed data is never an error, it only
/// misleads the walk until the next start code.
Status demux(const WalkerPass& pass, RunHost& host, WalkMode mode);

/// The progress text of a pass: "12/345 Mbytes, Remaining time: 0:01:02".
std::string progressText(uint64_t position, uint64_t size, double elapsedSeconds);

/// A pass's progress at `position` of `size` bytes: status panel 1 gets `prefix` followed by
/// progressText, and host.progress the percent done and the remaining time.
void showProgress(RunHost& host, const std::string& prefix, uint64_t position, uint64_t size,
                  double elapsedSeconds);

}  // namespace korvell
