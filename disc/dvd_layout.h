// The arithmetic of a DVD-Video title set that needs no library: cell playback times, the
// identifiers the IFO's stream tables stand for in the VOB packets, title-set sectors as byte
// ranges of the VTS_nn_1..9.VOB files, the interleaved units of an angle, and scrambled packs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_extent.h"
#include "engine/file_system.h"
#include "engine/packs.h"
#include "engine/status.h"

namespace korvell::dvd {

constexpr int kMaxVobParts = 9;  // VTS_nn_1.VOB .. VTS_nn_9.VOB

/// A playback time as the IFO stores it: hours, minutes and seconds in BCD, and a frame byte
/// whose two high bits give the frame rate (01: 25 fps, 11: 29.97 fps) and whose six low bits
/// are the frames in BCD.
struct BcdTime {
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t frame = 0;
};

/// The time in whole milliseconds, computed as lsdvd does so that its figures and ours agree:
/// each BCD field is tens × 10 + units, the frames add frames × 1000 / rate rounded down
/// (rate 25 or 29.97), and with any other rate bits they add nothing.
int64_t bcdTimeMs(BcdTime time);

/// The audio formats of the IFO's audio attributes (audio_format, three bits).
enum class AudioFormat : uint8_t { Ac3 = 0, Mpeg1 = 2, Mpeg2 = 3, Lpcm = 4, Sdds = 5, Dts = 6 };

/// The identifier that audio stream `number` (0..7, from the program chain's audio control
/// word) of `format` carries in the VOB packets, by the stream kinds' table: AC-3 0x80+n, DTS
/// 0x88+n and LPCM 0xA0+n as private-stream-1 substreams, MPEG audio as PES stream_id 0xC0+n;
/// -1 for SDDS and unknown formats.
int audioStreamId(int format, int number);
/// The codec's display name in the stream kinds' table ("AC-3", "MPEG audio", "LPCM", "DTS"),
/// "SDDS", or empty.
std::string audioCodecName(int format);
/// The sample frequency code of the audio attributes in Hz (0: 48,000, 1: 96,000), 0 otherwise.
int audioSampleRate(int code);

/// The substream id (0x20 + n) of the subpicture stream a program chain's subpicture control
/// word chooses for the title set's display aspect ratio: bits 24-28 for 4:3 (aspect code 0),
/// bits 16-20, the wide variant, for 16:9 (code 3, and any other).
int subpictureStreamId(uint32_t control, int displayAspect);

/// The two letters of an IFO language code (high byte first) in lower case, or empty when they
/// are not two ASCII letters.
std::string languageCode(uint16_t code);
/// What the code extension of an audio or a subpicture stream says about it ("Director's
/// comments", "Forced"), or empty for an ordinary or unknown one.
std::string audioDescription(int codeExtension);
std::string subpictureDescription(int codeExtension);
/// Whether a subpicture's code extension marks forced captions.
bool forcedSubpicture(int codeExtension);

/// One VOB file of a title set's title VOBs and where it lies in their sectors, which count
/// over the files in order as if they were one file.
struct VobPart {
  std::string path;
  uint64_t firstSector = 0;
  uint64_t sectors = 0;  ///< whole 2,048-byte sectors of the file
};

/// The title VOBs of one title set.
struct VobParts {
  std::vector<VobPart> parts;
  /// Why the files cannot serve the title set (no VTS_nn_1.VOB, or a gap before a later part):
  /// OpenFailed, its reason naming the file; Ok when they can.
  Status status;
  /// The first file that is not there (VTS_nn_k.VOB after the last part), empty after part 9.
  std::string nextMissing;
  uint64_t endSector() const {
    return parts.empty() ? 0 : parts.back().firstSector + parts.back().sectors;
  }
};

/// Finds VTS_nn_1.VOB, VTS_nn_2.VOB, ... in `folder` of `files` (names in upper or lower
/// case, as libdvdread accepts them), up to the first that is missing.
VobParts findVobParts(FileSystem& files, const std::filesystem::path& folder, int titleSet);

/// The path of an entry of `folder` of `files` whose name equals `name` ignoring ASCII case;
/// `folder / name` when there is none.
std::filesystem::path findFileIgnoringCase(const FileSystem& files,
                                           const std::filesystem::path& folder,
                                           const std::string& name);

/// Sectors first..last of a title set, both included.
struct SectorRange {
  uint64_t first = 0;
  uint64_t last = 0;
  bool operator==(const SectorRange&) const = default;
};

/// The byte ranges of the parts that hold `ranges`, in order; a range that crosses from one
/// part into the next is split there, and a range that goes on where the previous one ended in
/// the same file is joined to it; into *extents. Invalid when a range reaches past the last
/// part (*extents is left as it was then).
Status fileExtents(const std::vector<SectorRange>& ranges, const std::vector<VobPart>& parts,
                   std::vector<FileExtent>* extents);

/// What the navigation pack at the start of a VOBU says about its interleaved unit: whether it
/// belongs to one, the unit's last sector and the start of the angle's next unit, both
/// relative to this pack.
struct InterleavedUnit {
  bool interleaved = false;
  uint32_t endOffset = 0;
  uint32_t nextOffset = 0;
};

/// Reads the interleaved-unit fields of a navigation pack (the seamless playback fields of its
/// data search information); nothing when the sector is no navigation pack.
std::optional<InterleavedUnit> readInterleavedUnit(const uint8_t* sector);

/// The sectors of one angle of an interleaved cell (first..last as the cell gives them for
/// that angle, which spans the other angles' units too): from the first unit, each unit to its
/// end and then the angle's next unit, while units lie within the cell. `unitAt(sector)` reads
/// the navigation pack there. When the first pack is no interleaved unit the cell is taken
/// whole; a unit that cannot be read, or a next unit that does not lie ahead, ends the cell.
std::vector<SectorRange> followInterleavedUnits(
    uint64_t first, uint64_t last,
    const std::function<std::optional<InterleavedUnit>(uint64_t sector)>& unitAt);

/// Whether a pack of `data` (whole 2,048-byte packs) carries a PES packet whose scrambling
/// control bits are set, as a copy of an encrypted disc that was not decrypted does.
/// Navigation packs and packs that do not parse are passed over.
bool hasScrambledPack(const uint8_t* data, size_t size);

}  // namespace korvell::dvd
