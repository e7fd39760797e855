// The titles of an HD DVD as its playlist describes them: each title's clips turned into byte
// ranges of its EVOs through their time maps, with the streams, languages, descriptions and
// chapters of the title. Everything is read through a FileSystem.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "disc/title.h"
#include "engine/file_system.h"
#include "engine/status.h"

namespace korvell {

/// What readHdDvdTitles found.
struct HdDvdDisc {
  std::string root;          ///< the disc folder
  std::string playlistPath;  ///< the playlist the titles come from
  /// Lines about the reading, in order: which playlist was read and why higher-numbered ones
  /// were passed over, and each time map that was not used for a clip that plays its whole
  /// EVO. They hold paths, so a console message escapes them.
  std::vector<std::string> notes;
  /// The playable titles, by number from 1, in document order. Each has its name, base name
  /// TITLE_N, length, the number of its clips, its extents (the EVOBUs of each clip in play
  /// order, a clip that continues the previous one in the same EVO joined to it), streams and
  /// chapters.
  std::vector<Title> titles;
  /// The first-play title (number 0, base name FIRST_PLAY) when the playlist has one that can
  /// be played.
  std::optional<Title> firstPlay;
  /// The titles that cannot be played, in document order (number 0 for the first-play title),
  /// each with a one-line reason naming the clip and file concerned.
  std::vector<TitleProblem> problems;
  /// A failure of the disc as a whole: the path names no HD DVD, no playlist can be read, or
  /// none has a clip. Titles and problems are empty then.
  Status status;
};

/// Reads the titles of the HD DVD that `discPath` names (the disc folder, its HVDVD_TS or
/// ADV_OBJ folder, or any file in them) from `playlistPath`, or when that is empty from the
/// highest-numbered VPLST$$$.XPL of its ADV_OBJ folder that has a clip: a playlist that
/// cannot be read or has no clip (a selector that loads another one by script) is passed over
/// with a note.
///
/// A clip plays the EVO beside its time map (NAME.EVO for NAME.MAP in HVDVD_TS, either in any
/// case): the EVOBUs whose play time meets the clip's object time [clipTimeBegin, clipTimeBegin
/// + titleTimeEnd - titleTimeBegin), title ticks counted as video fields. A map that is
/// missing, damaged or whose sizes do not add up to its EVO is not used: a clip that plays
/// its whole EVO (from object time 0, for at least the EVO's duration less a second as its
/// first navigation packet gives it) then reads the whole file, with a note; any other clip
/// makes its title a problem. So do a missing EVO, a clip without valid times, a title
/// without clips, and a map of an interleaved block of angles (the reason gives the angles).
/// Never throws; damaged files give their reasons.
HdDvdDisc readHdDvdTitles(const std::string& discPath, FileSystem& files,
                          const std::string& playlistPath = "");

}  // namespace korvell
