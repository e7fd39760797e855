// Where the Demux run sends the payload of one selected stream. The walker hands every
// payload piece of the stream's slot, in file order, to the slot's StreamOutput; what the
// output makes of it (the bytes as they stand, ".sup" records, WAV samples, VobSub packs)
// is the output's own business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/slots.h"
#include "engine/status.h"

namespace korvell {

/// What the walker knows of the packet a payload piece comes from. A packet's payload may
/// reach its output in several pieces (a piece ends at the end of a read block); only the
/// first carries `packetStart` and the packet's header values.
struct PieceContext {
  bool packetStart = false;     ///< the first piece of its packet's payload
  std::optional<uint32_t> pts;  ///< first piece only: the PTS of the packet's own header
  uint8_t id = 0;               ///< the identifier of the packet's stream (substream id)
  /// First piece of a private-stream-1 audio packet only: the bytes of its substream header
  /// after the first four (the id, two bytes, and the first access unit pointer's or the
  /// length's second byte). DVD-Video and HD DVD LPCM: the three bytes emphasis/mute/frame
  /// number, quantisation/sampling frequency/channels, dynamic range. DVD-Audio (.AOB):
  /// the bytes after the 16-bit length field, at most 16 of them. TrueHD: one byte.
  std::span<const uint8_t> privateHeader;
};

/// The forms of the files a run writes.
enum class FileForm : uint8_t {
  Raw,            ///< a stream as it stands
  SupRecords,     ///< ".sup" records of subpicture units
  Wav,            ///< LPCM decoded into WAV or RF64
  Flac,           ///< LPCM decoded into FLAC
  VobSubIndex,    ///< the .idx of a VobSub pair
  VobSubData,     ///< the .sub of a VobSub pair
  Pgs,            ///< a presentation graphics stream (PGS ".sup")
  ChaptersText,   ///< the simple "CHAPTERnn=" chapter file
  ChaptersXml,    ///< Matroska chapter XML
  ProgramStream,  ///< a rebuilt program stream
  Matroska,       ///< a Matroska file
};

/// The name a form has in reports: "raw", "sup", "wav", "flac", "idx", "sub", "pgs",
/// "chapters_txt", "chapters_xml", "evo", "mkv".
const char* fileFormName(FileForm form);

/// One file an output wrote, with the form it holds.
struct OutputFile {
  std::string path;
  FileForm form = FileForm::Raw;
  bool operator==(const OutputFile&) const = default;
};

/// The receiver of one slot's payload in a Demux run. Created (with its files) by the run
/// before the first pass, fed by every pass of the run, finished once after the last.
class StreamOutput {
 public:
  virtual ~StreamOutput() = default;
  /// One payload piece; the bytes are valid for the call only. A failure is kept: every
  /// later call does nothing and returns it, and the walker stops the pass at its next poll.
  virtual Status piece(const uint8_t* data, size_t size, const PieceContext& context) = 0;
  /// After the last pass (also after a cancel or a failure): writes what is pending and closes
  /// every file. Returns the first failure of the output's life, Ok when there was none.
  virtual Status finish() = 0;
  /// The files this output has created so far, in the order it created them.
  virtual std::vector<OutputFile> files() const = 0;
  /// The path that goes with a failure in the run's message (the file that failed).
  virtual const std::string& failedPath() const = 0;
  /// The first failure, Ok while there was none.
  virtual const Status& status() const = 0;
};

/// Where a Demux pass writes: the output of each selectable slot, null unless the slot's output
/// is open (owned by the run that opened it), and the first output whose piece failed during
/// the pass (the pass stops at its next poll).
struct DemuxSinks {
  std::array<StreamOutput*, kSelectableSlots> outputs{};
  StreamOutput* failedOutput = nullptr;
  StreamOutput*& outputOf(Slot slot) { return outputs[static_cast<size_t>(slotNumber(slot))]; }
};

}  // namespace korvell
