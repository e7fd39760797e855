// From a disc to one tagged Matroska file: the selected streams demuxed into a temporary
// folder in the forms mkvmerge takes, then one mkvmerge call that names, orders, syncs and
// chapters them.
#pragma once

#include <string>

#include "disc/title.h"
#include "mux/process.h"
#include "report/console.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// What a Matroska run is asked for besides the run settings.
struct MkvRequest {
  /// The Matroska file to write; empty: OUTPUTPREFIX.mkv (defaultMkvPath).
  std::string outputPath;
  /// Keep the temporary folder, and write the mkvmerge option file beside the output
  /// (OUTPUTPREFIX.mkvmerge.json) rather than in that folder.
  bool keepTemp = false;
  /// An HD DVD playlist's title for the input (its streams' languages and descriptions, its
  /// name and chapters), when a playlist reading chose one; a DVD title comes in
  /// RunSettings::title. Null: neither.
  const Title* playlistTitle = nullptr;
  /// Where mkvmerge is found and started; null: the machine's programs.
  Launcher* launcher = nullptr;
};

/// The Matroska file a run writes when no other is asked for: the output prefix of the run's
/// file set (output folder and base name) and ".mkv".
std::string defaultMkvPath(const RunSettings& settings, bool continueOn);

/// Whether mkvmerge can be run; logs "mkvmerge was not found; install MKVToolNix" as an error
/// when it cannot. The front ends ask before anything is read.
bool mkvmergeAvailable(Launcher& launcher, Console& console);

/// The Matroska run. Like the Demux run it relies on the last Read run (and playlist reading)
/// for the selection, labels and times. It
/// 1. creates the output folder when it is missing (prepareOutputFolder), then a temporary
///    folder inside it (OUTPUTPREFIX.mkv-parts, or with ".2", ".3" ... when that name is
///    taken), so the demuxed files lie on the output's file system;
/// 2. runs the Demux run's step (demuxStep) into it with video and compressed audio as they stand,
/// LPCM as FLAC,
///    subpictures as VobSub (DVD) or PGS (HD DVD, an .EVO input), and the title's chapters
///    (RunSettings::title, else request.playlistTitle, else the settings' playlist chapters);
/// 3. plans the tracks (mux/mux_plan: video, audio by slot, subpictures by slot; languages and
///    names from the title; default flags on the first video and first audio; each audio
///    track synced by its delay against video stream 0; the title's name and chapters) and
///    logs each stream it leaves out and why;
/// 4. runs mkvmerge once from an option file, with its progress in the status and its
///    warnings and errors in the console, Cancel stopping it and removing the partial file;
/// 5. removes the temporary folder and everything in it on every ending, unless keepTemp.
/// It is one run for the host (runStarting and runFinished with RunKind::Matroska), its Cancel
/// question "Stop making the Matroska file?". Ends with "Done." when mkvmerge made the file (also
/// with warnings: exit 1), Cancelled after a cancel, and a failure (MuxFailed, or the Demux run's
/// failure, or NothingToWrite when no stream can go into the file) otherwise, with the end line
/// "Failed.".
RunOutcome mkvRun(RunState& state, RunHost& host, const RunSettings& settings,
                  const MkvRequest& request);

}  // namespace korvell
