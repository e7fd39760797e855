// Subpictures as a presentation graphics stream ("NAME.sup" in PGS file form): the pieces of
// one subpicture stream are assembled into units, the units decoded into display events, and
// each event written as the display set that shows it and the one that clears it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/file_system.h"
#include "engine/stream_output.h"
#include "outputs/dvd_palette.h"
#include "report/console.h"

namespace korvell {

struct PgsRequest {
  std::string path;  ///< the ".sup" file to write
  /// The video frame the compositions cover; bitmaps that run past it are cut to it.
  uint16_t videoWidth = 1920;
  uint16_t videoHeight = 1080;
  /// The 16 colours of 2-bit units (the IFO's); the default palette when none is given.
  std::optional<YcrcbPalette> palette;
  /// The first PTS of video stream 0: event times are written relative to it.
  uint32_t videoStartPts = 0;
};

/// How long an event with no stop command shows when no later event ends it (90 kHz).
constexpr uint32_t kPgsNoStopDuration = 5 * 90000;

/// Creates request.path through `files` into *output. On failure returns the CreateFailed
/// status and leaves *output empty. The output logs to `console` (which must outlive it) at
/// finish() one line when events were skipped or cut: how many, of how many.
///
/// Events are written in the order their units come; an event ends at its stop command (a
/// display set that clears it), or at the next event's start when that comes first (the next
/// event's display set replaces it), or kPgsNoStopDuration after its start when it has no
/// stop and is the last. Parts before the video's start are cut off.
Status makePgsOutput(FileSystem& files, Console& console, const PgsRequest& request,
                     std::unique_ptr<StreamOutput>* output);

}  // namespace korvell
