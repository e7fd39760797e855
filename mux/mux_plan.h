// Which demuxed streams go into the Matroska file, in which order, with which language, name,
// default flag and sync: pure rules over what the Demux run wrote and what the disc's title
// says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disc/title.h"
#include "engine/slots.h"
#include "engine/stream_kinds.h"
#include "engine/stream_output.h"
#include "mux/mkvmerge_options.h"

namespace korvell {

/// One stream the Demux run wrote.
struct DemuxedStream {
  Family family = Family::Video;
  int slot = 0;     ///< its selectable slot in the family (video 0..1, audio and subpicture 0..15)
  int32_t id = -1;  ///< the registry identifier it had, -1 when unknown
  const StreamKindInfo* kind = nullptr;  ///< its row of the stream kinds' table, or null
  std::vector<OutputFile> files;         ///< what its output wrote, with their forms
  std::optional<int32_t> delayMs;        ///< its first PTS against video stream 0's, when known
  bool operator==(const DemuxedStream&) const = default;
};

/// A stream the plan leaves out, with why, for the run's message.
struct LeftOutStream {
  Family family = Family::Video;
  int slot = 0;
  std::string reason;
  bool operator==(const LeftOutStream&) const = default;
};

struct MuxPlan {
  MuxDescription description;
  std::vector<LeftOutStream> leftOut;
};

/// The plan for muxing `streams` into `outputPath`, with the disc's `title` when there is one
/// (null otherwise).
///
/// - Tracks come in the order video, audio, subpictures, each family by slot.
/// - Each stream gives mkvmerge one file: the .idx of a VobSub pair; otherwise the first file
///   whose form mkvmerge reads: Raw (not for LPCM, which has no header in that form, nor for
///   subpictures), Wav, Flac or Pgs. A stream without such a file is left out with the reason.
/// - The title's stream for a stream is the one titleStreamFor finds. Its language becomes the
///   track's (as matroskaLanguage makes it; "und" without one), its name the track's name and
///   its forced flag the track's; without a name the track is named "<Language> <codec>"
///   ("English AC-3", "German VobSub"), or just the codec when the language is unknown.
/// - The first video track and the first audio track are default tracks; no other is.
/// - An audio track is synced by its delay (0 when unknown); video and subpictures are not
///   (subpictures are written on the video's timeline).
/// - The segment title is the title's name; `chaptersPath` (the chapter file the run wrote,
///   empty for none) is used when the title has chapters, or when there is no title.
MuxPlan planMux(const std::vector<DemuxedStream>& streams, const Title* title,
                const std::string& outputPath, const std::string& chaptersPath);

/// The codec as a track name shows it: the stream kind's display name ("MPEG-2", "E-AC-3",
/// "TrueHD"); subpictures by the form mkvmerge reads ("VobSub", "PGS"); empty without a kind.
std::string trackCodecName(const StreamKindInfo* kind, FileForm form);

}  // namespace korvell
