// The Matroska file to make, described plainly, and the option file mkvmerge reads it from
// ("mkvmerge @options.json": a JSON array of strings, one argument each, in UTF-8). The
// arguments never pass through a shell, so user text needs no quoting, only valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/slots.h"
#include "engine/status.h"

namespace korvell {

/// One track of the output: one input file whose single track mkvmerge takes.
struct MuxTrack {
  Family family = Family::Video;
  std::string path;      ///< the elementary stream (or the .idx of a VobSub pair)
  std::string language;  ///< a code as a disc gives it; written as matroskaLanguage makes it
  std::string name;      ///< the track name; none when empty
  bool isDefault = false;
  int32_t syncMs = 0;   ///< audio: where its first sample plays against the video; 0 for none
  bool forced = false;  ///< shown even when subtitles are off (forced captions)
  bool operator==(const MuxTrack&) const = default;
};

/// The output file and its tracks, in the order they are to have.
struct MuxDescription {
  std::string outputPath;
  std::string title;         ///< the segment title; none when empty
  std::string chaptersPath;  ///< a chapter file (simple text or XML); none when empty
  std::vector<MuxTrack> tracks;
  bool operator==(const MuxDescription&) const = default;
};

/// mkvmerge's arguments for a description, in order: "--gui-mode" (progress, warnings and
/// errors as "#GUI#" lines), "-o" OUT, "--title" TITLE when there is one, "--chapters" FILE
/// when there is one, then per track "--language 0:LLL", "--track-name 0:NAME" when it has a
/// name, "--default-track-flag 0:yes|no", "--forced-display-flag 0:yes" for a forced track,
/// "--sync 0:MS" for an audio track whose sync is not
/// 0, and its path ("./" before a relative path that starts with a character mkvmerge
/// reads as more than a name: + = ( ) [ ] - @). Track names and the title are made valid UTF-8
/// (displayUtf8) and otherwise passed as they are.
std::vector<std::string> mkvmergeArguments(const MuxDescription& description);

/// The option file's text into *optionFile: mkvmergeArguments as a JSON array of strings, one
/// a line. Invalid, with the message as its reason, when a path is not valid UTF-8: an option
/// file can only hold UTF-8, and a path made valid would name another file.
Status mkvmergeOptionFile(const MuxDescription& description, std::string* optionFile);

}  // namespace korvell
