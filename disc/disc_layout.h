// Where a disc keeps its files. DVD-Video: VIDEO_TS with the title sets' VTS_nn_k.VOB files.
// HD DVD: HVDVD_TS with the EVOs, each beside its time map NAME.MAP, and ADV_OBJ beside it
// with the playlists VPLST000.XPL to VPLST999.XPL. Every lookup goes through a FileSystem, so
// a folder on disk and a disc image are read alike.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace korvell {

/// The part number k of a DVD-Video title set's VOB file named VTS_nn_k.VOB (nn two digits,
/// k one digit, letters in either case): 0 for the menu VOB, 1 to 9 for the title VOBs;
/// nothing for any other name. `name` is a name part, without folders.
std::optional<int> titleSetVobPart(const std::string& name);

/// The name of the HD DVD playlist that Read XPL reads by default.
inline constexpr const char* kPlaylistName = "VPLST000.XPL";

/// The disc's folders as Read XPL finds them: the program streams lie in HVDVD_TS, the
/// playlist in ADV_OBJ beside it. For a folder (with its trailing platform separator) whose
/// last part is exactly HVDVD_TS, the ADV_OBJ folder beside it (with its separator); empty for
/// any other folder.
std::string discPlaylistFolder(const std::string& sourceFolder);
/// The reverse: for a folder whose last part is exactly ADV_OBJ, the HVDVD_TS folder beside it.
std::string discSourceFolder(const std::string& playlistFolder);
/// The playlist of the disc that holds the input file: ADV_OBJ/VPLST000.XPL beside the input's
/// HVDVD_TS folder, or empty when the input does not lie in one.
std::string discPlaylistPath(const std::string& inputPath);

/// The number $$$ of a playlist file named VPLST$$$.XPL (three digits, letters in either
/// case); nothing for any other name.
std::optional<int> playlistNumber(const std::string& name);

/// The path of the entry of `folder` whose name is `name`: the entry of exactly that name, or
/// else the first whose name equals it ignoring ASCII case (discs and their copies differ in
/// case). Empty when there is none or the folder cannot be read.
std::string findEntryIgnoringCase(const FileSystem& files, const std::string& folder,
                                  const std::string& name);

/// The folders of an HD DVD.
struct HdDvdFolders {
  std::string root;     ///< the disc folder, that holds the two below
  std::string hvdvdTs;  ///< HVDVD_TS (any case), or empty when the disc has none
  std::string advObj;   ///< ADV_OBJ (any case), or empty when the disc has none
};

/// The HD DVD that `path` names: the disc folder (one that holds HVDVD_TS or ADV_OBJ), one of
/// those two folders, or any file in them. Nothing when the path names none of these.
std::optional<HdDvdFolders> findHdDvd(const std::string& path, const FileSystem& files);

/// The playlists in an ADV_OBJ folder (playlistNumber names them), by number from the lowest.
std::vector<std::string> discPlaylists(const FileSystem& files, const std::string& advObj);

}  // namespace korvell
