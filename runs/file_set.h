// File sets of one or two files, base names, output prefixes and stream labels.
#pragma once

#include <cstdint>
#include <string>

#include "engine/file_kinds.h"
#include "engine/file_system.h"
#include "engine/run_state.h"

namespace korvell {

/// The folder part of a path, up to and including its last separator (or drive colon on
/// platforms that have drives); empty when there is none.
std::string folderPart(const std::string& path);
/// The name part of a path: everything after the folder part.
std::string namePart(const std::string& path);

/// The name without its extension: the part from the last "." to the end, provided no
/// separator follows that dot. FEATURE_1.EVO gives FEATURE_1, a.b.EVO gives a.b, MOVIE gives
/// MOVIE, .EVO gives the empty text.
std::string CutExt(const std::string& name);

/// The second file of the set that begins with path, or empty. Looks at the first "_" of the
/// name only: the digit after it (0 to 8) is advanced by one, or else the digit before it;
/// FEATURE_1.EVO gives FEATURE_2.EVO, PART1_A.EVO gives PART2_A.EVO. The candidate must
/// exist in the same folder; nothing else is touched.
std::string getsecond(const std::string& path, const FileSystem& files = realFileSystem());

/// The name of an HD DVD's playlist file.
inline constexpr const char* kPlaylistName = "VPLST000.XPL";

/// The disc's folders: the program streams lie in HVDVD_TS, the playlist in ADV_OBJ beside
/// it. For a folder (with its trailing platform separator) whose last part is exactly
/// HVDVD_TS, the ADV_OBJ folder beside it (with its separator); empty for any other folder.
std::string discPlaylistFolder(const std::string& sourceFolder);
/// The reverse: for a folder whose last part is exactly ADV_OBJ, the HVDVD_TS folder beside it.
std::string discSourceFolder(const std::string& playlistFolder);
/// The playlist of the disc that holds the input file: ADV_OBJ/VPLST000.XPL beside the input's
/// HVDVD_TS folder, or empty when the input does not lie in one.
std::string discPlaylistPath(const std::string& inputPath);

/// The file set of a run, formed at its start.
struct FileSet {
  std::string firstPath;   ///< the chosen input
  std::string secondFile;  ///< the second file's path, or empty
  std::string baseName;    ///< FEATURE_1, or FEATURE_1_FEATURE_2 for a two-file set
};

/// Forms the set of the chosen input; looks for a second file only when continueOn is set.
FileSet prepareFileSet(const std::string& inputPath, bool continueOn,
                       const FileSystem& files = realFileSystem());

/// The common beginning of every output name: the output folder, a separator and the base
/// name. An empty folder means the input file's own folder.
std::string outputPrefix(const std::string& outputFolder, const FileSet& set);

/// Codec labels of registered identifiers ("VC-1.stream", "DD+.stream", "Subpicture"); -1
/// gives "No video stream", "No audio stream" or "No subpicture stream".
std::string VideoLabel(int32_t id);
std::string AudioLabel(int32_t id);
std::string SubLabel(int32_t id);

/// The label of a selectable slot holding id: the codec label, a dot and the slot number
/// (one digit for video, two for audio and subpicture): VC-1.stream.0, DD+.stream.03.
std::string streamLabelFor(Slot slot, int32_t id);

/// The longest file-name part that a label or an extension gives, in bytes.
constexpr size_t kMaxNamePart = 100;

/// Text from outside (a label from the playlist, an extension as typed) made fit to be one
/// part of a file name inside the output folder: path separators, NUL and other control
/// characters become "_", a "." that follows a "." becomes "_" (so no ".." remains), and the
/// result is cut to kMaxNamePart bytes without splitting a UTF-8 sequence. Other bytes,
/// non-ASCII ones included, stay as they are.
std::string cleanNamePart(const std::string& text);

/// A stream file's name: prefix + "." + label + "." + extension, the label and the extension
/// cleaned by cleanNamePart, so the file lies in the prefix's folder whatever they hold.
std::string streamFileName(const std::string& prefix, const std::string& label,
                           const std::string& extension);

}  // namespace korvell
