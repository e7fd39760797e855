// The structured record of a run: what the front ends write as a machine-readable report
// (the command line's JSON), built from the run state after a Read, Demux or Rebuild run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runs/run_state.h"

namespace korvell {

/// One stream of the last Read run.
struct ReportStream {
  Family family = Family::Video;
  int slot = 0;                        ///< the slot index within its family
  std::optional<std::string> box;      ///< "v0", "a03", "s12"; none for the unselectable slots
  uint8_t streamId = 0;                ///< the PES stream_id (0xBD, 0xE0, 0xFD)
  std::optional<uint8_t> substreamId;  ///< private stream 1 substream id, or the VC-1 extension
  std::string codecName;               ///< the table's short codec name
  std::string label;                   ///< the stream box's label, or the table's for no box
  std::optional<uint32_t> firstPts;
  std::optional<uint32_t> lastPts;  ///< none when the fast check stopped the scan
  /// What a muxer shifts the stream's file by: RunState::delayMs, or for a file the last Demux
  /// run wrote on video stream 0's timeline (VobSub, PGS) 0.
  std::optional<int32_t> delayMs;
  std::optional<int32_t> firstEventMs;   ///< subpictures: the first one on video 0's timeline
  bool selected = false;                 ///< its box is checked
  std::vector<DetailField> fields;       ///< the analyser's named values
  std::vector<std::string> detailLines;  ///< the analyser's lines, markup removed
  std::string file;               ///< the first file the last Demux run wrote it to, or empty
  std::vector<OutputFile> files;  ///< every file the last Demux run wrote it to, with its form
};

/// The frame figures of one video slot that holds a stream.
struct ReportFrames {
  int slot = 0;
  std::optional<int32_t> counted;  ///< none with frame counting off
  std::optional<int64_t>
      calculated;  ///< duration x rate, rounded half to even; none without a rate
  std::optional<double> frameRate;
};

struct RunReport {
  std::vector<ScannedFile> files;  ///< the files the Read run walked
  std::string baseName;
  std::string secondFile;
  bool fastCheckStopped = false;
  std::optional<SystemHeaderBounds> systemHeader;  ///< of the first file
  std::optional<NavigationValues> navigation;      ///< of the first file
  std::vector<ReportStream> streams;               ///< video, audio, subpicture, by slot
  std::vector<ReportFrames> frames;
  std::vector<OutputFile> otherFiles;  ///< chapter files, the rebuilt program stream
  /// Every file the last Demux or Rebuild run wrote, with its form: the streams' files by slot
  /// (video, audio, subpicture), then the other files.
  std::vector<OutputFile> writtenFiles;
};

/// The record of the last Read run (and the Demux or Rebuild run after it) in `state`.
RunReport buildRunReport(const RunState& state);

}  // namespace korvell
