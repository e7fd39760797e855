// What a disc says about one of its titles: which bytes of which files play it, in order, and
// what the disc tells about its streams, chapters and (DVD) subpicture colours. An HD DVD
// playlist title and a DVD title from the IFO both come out in this form, so the runs and the
// Matroska back end treat them alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disc/chapter.h"
#include "engine/file_extent.h"
#include "engine/slots.h"
#include "engine/status.h"

namespace korvell {

/// One stream of a title as the disc describes it.
struct TitleStream {
  Family family = Family::Audio;
  /// The registry identifier the stream has in the program stream (a video stream_id or VC-1
  /// extension, an audio or subpicture substream id), or -1 when the disc does not tell.
  int id = -1;
  /// The stream's number in its family as the disc counts it, from 0 (HD DVD streamNumber − 1,
  /// DVD audio or subpicture stream number).
  int number = 0;
  std::string
      language;       ///< ISO 639 code as the disc gives it, lower-case ("en", "deu"); may be empty
  std::string name;   ///< the disc's description ("English", "Commentary"); may be empty
  std::string codec;  ///< the disc's codec name ("DD+", "AC-3", "LPCM"); may be empty
  int channels = 0;   ///< 0 when unknown
  int sampleRate = 0;  ///< in Hz, 0 when unknown
  bool isDefault = false;
  bool forced = false;
  bool operator==(const TitleStream&) const = default;
};

/// One title of a disc.
struct Title {
  int number = 0;              ///< from 1, as the disc numbers its titles
  std::string name;            ///< the playlist's displayName; empty for DVD
  std::string baseName;        ///< the base name of output files (FEATURE_1, VTS_01_TITLE_1)
  int titleSet = 0;            ///< DVD: the title set (VTS_nn) that holds the title; 0 otherwise
  double durationSeconds = 0;  ///< 0 when unknown
  int angles = 1;
  int angle = 1;                    ///< the angle whose cells the extents follow
  std::vector<FileExtent> extents;  ///< the bytes that play the title, in play order
  std::vector<TitleStream> streams;
  std::vector<Chapter> chapters;
  /// HD DVD: the playlist clips that play the title; 0 for a DVD title.
  int clips = 0;
  /// The DVD subpicture palette: 16 entries of 0x00YYCrCb as the IFO stores them.
  std::optional<std::array<uint32_t, 16>> palette;
  bool operator==(const Title&) const = default;
};

/// The stream of `title` that a registered stream of `family` in selectable slot `slot` (its
/// index in the family), with identifier `id` (-1 when unknown), is: the first of that family
/// with the same identifier, or else, where either identifier is unknown, the first whose
/// number is the slot. Null when there is none (also for a null title).
const TitleStream* titleStreamFor(const Title* title, Family family, int slot, int32_t id);

/// A title the disc names but that cannot be played from this folder, and why. The reason is
/// one line that names the file concerned; it holds paths, so a console message escapes it.
struct TitleProblem {
  int number = 0;
  Status status;  ///< OpenFailed for a missing file, ReadFailed for a damaged or encrypted one
  bool operator==(const TitleProblem&) const = default;
};

}  // namespace korvell
