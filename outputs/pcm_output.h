// LPCM streams written as sound files: WAV (RF64 once a file passes 4 GiB) or FLAC, decoded
// from the DVD-Video, HD DVD and DVD-Audio layouts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/file_system.h"
#include "engine/stream_output.h"
#include "report/console.h"

namespace korvell {

enum class PcmForm : uint8_t { Wav, Flac };

struct PcmOutputRequest {
  /// The path of the files without extension ("/out/VTS_01_1.LPCM.stream.02").
  std::string basePath;
  PcmForm form = PcmForm::Wav;
  /// Where the stream goes as it stands when its first header cannot be read.
  std::string rawPath;
  /// DVD-Audio (.AOB) headers and layout; otherwise DVD-Video and HD DVD.
  bool audioObject = false;
};

/// The path of one sound file: BASE[.PART][.gGROUP].wav or .flac. Part 1 has no number; the
/// group is named only when a DVD-Audio stream's two groups go to files of their own.
std::string pcmFilePath(const std::string& basePath, int part, int group, PcmForm form);

/// The output of one LPCM stream (the files named by pcmFilePath, created through `files`):
/// - The files are created when the first packet's header has been read, with a console line
///   "Creating PATH" each: one file, or for a DVD-Audio stream whose groups differ in sampling
///   frequency or word length one file per group (group 1's channels, then group 2's).
/// - WAV files are WAVE_FORMAT_EXTENSIBLE with the channels' speaker mask, RIFF while they are
///   under 4 GiB and RF64 from there on. FLAC files are at the encoder's default level. 16-bit
///   samples are written as 16 bits; 20- and 24-bit ones as 24 bits, a 20-bit sample with its
///   four low bits zero, so every value stays exact.
/// - A header that changes the format (sampling frequency, word length, channels; for
///   DVD-Audio either group or the channel assignment) closes the files; the stream goes on in
///   part 2 (then 3, ...), said in one console line before the new files' "Creating PATH".
/// - A first header that cannot be read (a reserved code, cut short) sends the whole stream as
///   it stands to request.rawPath instead, said in one console line before its "Creating
///   PATH"; files() then names that file as "raw". A later header with a reserved code leaves the
///   format as it was: its packet's samples are read as the header before it said (the first such
///   header is said in the console).
/// - The bytes of an incomplete sample unit at a format change or at the end (less than a
///   unit, at most 108 bytes) are left out.
/// Samples reach the files in runs of 256 KiB. A create, write or close that fails comes back
/// as the Status of piece() (of the packet that started the file or filled the run) or of
/// finish(), with failedPath() naming the file. `files` and `console` must outlive the output.
std::unique_ptr<StreamOutput> makePcmOutput(FileSystem& files, Console& console,
                                            const PcmOutputRequest& request);

}  // namespace korvell
