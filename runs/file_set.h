// File sets (what each pass of a run walks), base names, output prefixes and stream labels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disc/disc_layout.h"
#include "disc/title.h"
#include "engine/file_extent.h"
#include "engine/file_kinds.h"
#include "engine/file_system.h"
#include "engine/path_names.h"
#include "engine/stream_output.h"
#include "runs/run_state.h"

namespace korvell {

/// The second file of the set that begins with path, or empty. Looks at the first "_" of the
/// name only: the digit after it (0 to 8) is advanced by one, or else the digit before it;
/// FEATURE_1.EVO gives FEATURE_2.EVO, PART1_A.EVO gives PART2_A.EVO. The candidate must
/// exist in the same folder; nothing else is touched. A DVD title set's VOB file
/// (titleSetVobPart) has no second file: its title VOBs are one file cut in parts, which
/// prepareFileSet continues within the first pass, and the digit after its first "_" would
/// name another title set (VTS_01_1.VOB is not followed by VTS_11_1.VOB).
std::string getsecond(const std::string& path, const FileSystem& files = realFileSystem());

/// What one pass of a run walks: byte ranges of files read in order as one source, so that
/// a pack cut between two files or two ranges is read whole. The walker's registry and the
/// details shown are reset at the start of each pass.
struct FilePass {
  std::vector<FileExtent> extents;
  /// The extents are whole files whose lengths are taken when the pass is opened (their
  /// lengths here are 0): a set is formed before its files are read, and a file is read as
  /// long as it is then.
  bool wholeFiles = false;
  /// The name part of the pass's first file, as the console and the status show it.
  std::string firstName() const;
};

/// The file set of a run, formed at its start: what each of its passes walks, and the name
/// its outputs are given.
struct FileSet {
  std::string firstPath;   ///< the first file read: the chosen input, or a title's first VOB
  std::string secondFile;  ///< the file of the second pass (FEATURE_2.EVO), or empty
  /// FEATURE_1, FEATURE_1_FEATURE_2 for a two-pass set, VTS_01 for a DVD title set's VOB
  /// files from VTS_01_1.VOB on, VTS_01_TITLE_1 for a DVD title.
  std::string baseName;
  /// The passes in order: one, or two for an HD DVD set whose second file is walked after the
  /// registry is reset. Never empty once formed.
  std::vector<FilePass> passes;
  /// The disc title the set plays (its number on the disc), or 0 for a set of files.
  int titleNumber = 0;
  /// Whether that title is a DVD title (its cells make a DVD program stream).
  bool dvdTitle = false;
  /// Every file the set reads, each once, in the order first read.
  std::vector<std::string> inputs() const;
};

/// Forms the set of the chosen input. Without continueOn the input alone is one pass. With
/// continueOn, a DVD title set's VOB file VTS_nn_k.VOB (k from 1) continues in the same pass
/// over VTS_nn_k+1.VOB ... VTS_nn_9.VOB as far as they exist, written in the input's case
/// (base name VTS_nn from part 1, VTS_nn_k-m from a later part k to the last part m, the
/// input's own name when no part follows); any other input is followed by the second file
/// of its set (getsecond) as a second pass.
FileSet prepareFileSet(const std::string& inputPath, bool continueOn,
                       const FileSystem& files = realFileSystem());

/// The set of a disc title: one pass over its extents in play order, named by the title's
/// base name (made fit for a file name; "_ANGLE_k" added for an angle other than 1). The
/// outputs go beside the title's first file unless an output folder is given.
FileSet titleFileSet(const Title& title);

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

// The names of a run's output files, the one place that gives them. `prefix` is the
// outputPrefix of the run's set (output folder and base name); a label or an extension from
// outside is cleaned by cleanNamePart, so every file lies in the prefix's folder.

/// A stream's file: prefix + "." + label + "." + extension.
std::string streamFileName(const std::string& prefix, const std::string& label,
                           const std::string& extension);
/// The name a stream's files begin with when its output adds their endings (the parts of a
/// WAV file, a VobSub pair): prefix + "." + label.
std::string streamBaseName(const std::string& prefix, const std::string& label);
/// A chapter file: PREFIX.chapters.txt (FileForm::ChaptersText) or PREFIX.chapters.xml.
std::string chapterFileName(const std::string& prefix, FileForm form);
/// The rebuilt program stream: PREFIX.rebuilt.VOB for a DVD title's cells, which make a DVD
/// program stream, PREFIX.rebuilt.EVO otherwise.
std::string rebuiltFileName(const std::string& prefix, bool dvdTitle);
/// The Matroska file: PREFIX.mkv.
std::string matroskaFileName(const std::string& prefix);
/// The Matroska run's temporary folder, try `n` from 1: PREFIX.mkv-parts, then .2, .3 ...
std::string temporaryFolderName(const std::string& prefix, int n);
/// The mkvmerge option file kept beside the Matroska file `mkvPath`: its name without the
/// extension, then ".mkvmerge.json".
std::string keptOptionFileName(const std::string& mkvPath);

}  // namespace korvell
