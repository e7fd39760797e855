// The titles of a DVD-Video folder as its IFO files describe them (read with libdvdread, which
// nothing else includes): for each title the cells that play it as byte ranges of the title
// set's VOB files, its chapters, angles, streams and subpicture palette.
#pragma once

#include <string>
#include <vector>

#include "disc/title.h"
#include "engine/file_system.h"
#include "engine/status.h"

namespace korvell {

/// What readDvdTitles found.
struct DvdDisc {
  /// The folder that holds VIDEO_TS.IFO and the title sets' files.
  std::string videoTsFolder;
  /// The titles that can be played, in the disc's order. Each has its title set, the base name
  /// VTS_nn_TITLE_N (nn its title set, N its number on the disc), its length and chapters as
  /// lsdvd gives them, its streams (video, then audio and subpictures in the IFO's order), the
  /// palette of its program chain, and its extents for `angle`.
  std::vector<Title> titles;
  /// The titles that cannot be played, in the disc's order.
  std::vector<TitleProblem> problems;
  /// A failure of the disc as a whole (no VIDEO_TS.IFO, a damaged one); titles and problems
  /// are empty then. Its reason is one line that names the file.
  Status status;
  /// What libdvdread reported while it read the disc, one message a line (kept from stderr).
  std::vector<std::string> libraryMessages;
};

/// Reads the titles of the DVD-Video folder at `discPath` of `files`: the folder that holds
/// VIDEO_TS, VIDEO_TS itself, or any file in it (a disc image's own path is its root folder).
///
/// A title follows the cells of the program chain of its first chapter, in cell order; of an
/// angle block it takes the cell of the title's chosen angle (1 here), and of an interleaved
/// one only that angle's interleaved units, found through the navigation packs. Chapters are
/// the title's chapters in that program chain, each starting at the sum of the playback times
/// of the cells before it (one cell an angle block), without names. A title gives a problem
/// when its IFO data does not hold together, when its cells reach past the end of the VOB
/// files, when a VOB file it needs is missing, or when the packs at its start are scrambled (a
/// copy of an encrypted disc that was not decrypted). Never throws; damaged files give their
/// reasons. Every file is reached through `files`; libdvdread reads copies of the IFO files in
/// a scratch folder of its own, and only those in which everything it reads lies within the
/// file (dvd::ifoPartOutsideFile): the IFO, or its .BUP when it cannot read the IFO.
DvdDisc readDvdTitles(const std::string& discPath, FileSystem& files);

/// Reads title `number` of the disc with the extents of angle `angle` (from 1) into *title.
/// An angle the title does not have is a ReadFailed status naming it; the title's problem or
/// the disc's failure are returned as readDvdTitles gives them.
Status readDvdTitle(const std::string& discPath, int number, int angle, Title* title,
                    FileSystem& files);

/// The first title (in the disc's order) whose first extent lies in the file `vobPath` (the
/// same file of `files`, however the path is written); null when there is none.
const Title* titleStartingIn(const std::vector<Title>& titles, const std::string& vobPath,
                             const FileSystem& files = realFileSystem());

}  // namespace korvell
