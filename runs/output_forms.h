// The forms a Demux run writes each selected stream in, chosen by the run settings: the
// stream as it stands (the default), LPCM as WAV or FLAC, subpictures as ".sup" records (the
// default), VobSub or PGS; and the extensions of the files, from the user's fields or named by
// codec. The window and the command line reach the forms through RunSettings only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_system.h"
#include "engine/stream_kinds.h"
#include "report/console.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// The row of the stream that the last Read run found in a selectable slot (by the identifier
/// it recorded), or null. `state.sourcePath` tells whether the source is a DVD-Audio .AOB.
const StreamKindInfo* foundKind(const RunState& state, Slot slot);

/// The extension of a file that holds a slot's stream as it stands: the codec's (the
/// table's codecExtension) with settings.codecExtensions, else the user's field of the
/// family (videoExt, audioExt, subExt).
std::string rawExtension(const StreamKindInfo* kind, Family family, const RunSettings& settings);

/// The delay (ms) a muxer applies to a slot's file of a form to put it on video stream 0's
/// timeline: the stream's ReadResults::delayMs, but 0 for subpictures written as VobSub or
/// PGS, whose times already count from video stream 0's first PTS (none without that PTS).
std::optional<int32_t> fileDelayMs(const RunState& state, Slot slot, FileForm form);

/// The outputs of one Demux run, one per selected slot, in the form the settings choose.
/// Each is attached to the run state (RunState::outputOf) while open; finishAll() detaches and
/// finishes them together and records their files in state.written.streams.
///
/// Console lines: every file gets one "Creating PATH" line when it is created. Files created
/// before the pass (raw, ".sup" records, PGS) are announced by open(); WAV and FLAC files are
/// created when the stream's first header has been read and VobSub files at the first unit,
/// and those outputs announce them, with one more line when a stream cannot take its form
/// (a damaged first LPCM header: the stream goes as it stands; 8-bit units in VobSub: the
/// stream goes as ".sup" records).
///
/// No output ever creates one of the run's input files: such a create fails as
/// "Cannot create file "PATH". It is an input file of this run.".
class DemuxOutputs {
 public:
  /// `state`, `settings` and `host` must outlive the object; `inputs` are the run's input
  /// files.
  DemuxOutputs(RunState& state, const RunSettings& settings, RunHost& host,
               std::vector<std::string> inputs);
  ~DemuxOutputs();
  DemuxOutputs(const DemuxOutputs&) = delete;
  DemuxOutputs& operator=(const DemuxOutputs&) = delete;

  /// Makes the output of selectable slot `slot`. Its files are named PREFIX.LABEL.EXT: `prefix`
  /// is the output folder and base name ("/out/VTS_01_1"), `label` the stream's label, with
  /// settings.delayNames for audio and subpictures " DELAY <n>ms" after it, n being
  /// fileDelayMs of the file's form (no suffix without one; a VobSub stream's ".sup" records
  /// carry the delay of records), cleaned by cleanNamePart; EXT is the form's extension. BASE
  /// below is PREFIX.LABEL with that suffix:
  /// - LPCM (DVD-Video, HD DVD, DVD-Audio) with LpcmForm Wav or Flac: BASE.wav or BASE.flac
  ///   (see makePcmOutput for parts and groups); a damaged first header: BASE.RAWEXT.
  /// - Subpictures: ".sup" records in BASE.RAWEXT; VobSub BASE.idx and BASE.sub, stream number
  ///   the slot, the title's language of the stream with the same identifier and palette, the
  ///   Read run's video size; PGS BASE.sup, over the video size of video stream 0 (without
  ///   one 1920x1080 for an .EVO, 720x576 otherwise) with the title's palette.
  /// - Everything else: the stream as it stands in BASE.RAWEXT.
  /// RAWEXT is rawExtension(). Returns false after reporting a create that failed.
  bool open(Slot slot, const std::string& prefix, const std::string& label);

  /// Finishes every output; returns the first that failed (a piece or the final writes), or
  /// null. Records each output's files in state.written.streams.
  const StreamOutput* finishAll();

  /// The walker's sinks: the open outputs by slot.
  DemuxSinks& sinks() { return sinks_; }

 private:
  class GuardedFiles;
  bool openRaw(Slot slot, const std::string& path, bool supRecords);
  /// The time the ".sup" records count from: the earliest PTS of the Read run's reports.
  uint32_t recordOrigin() const;
  /// PREFIX.LABEL[ DELAY <n>ms] for a file of `form`, without extension.
  std::string basePath(Slot slot, const std::string& prefix, const std::string& label,
                       FileForm form) const;

  RunState& state_;
  const RunSettings& settings_;
  RunHost& host_;
  DemuxSinks sinks_;
  std::unique_ptr<GuardedFiles> files_;
  std::vector<std::pair<Slot, std::unique_ptr<StreamOutput>>> outputs_;
};

}  // namespace korvell
