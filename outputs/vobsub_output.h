// DVD subpictures as VobSub: NAME.sub holds the units in 2,048-byte MPEG-2 packs as a DVD VOB
// carries them, NAME.idx says where each unit starts and when it is shown, with the size of
// the picture and the 16 colours. Matroska muxers and players take this pair for DVD subtitles.
//
// A unit goes into one or more packs, each exactly 2,048 bytes:
//   pack header   00 00 01 BA, SCR (= the unit's time), mux rate 10.08 Mbit/s, no stuffing  14
//   PES header    00 00 01 BD, length, 0x81, PTS flag, header length [, PTS]       9 (+5)
//                 [+ 1..5 stuffing bytes 0xFF on a unit's last pack, see below]
//   substream     0x20 + stream number                                                   1
//   unit bytes    up to the pack's end (2,019 bytes in the first pack, 2,024 after)
//   padding       00 00 01 BE, length, 0xFF...: the rest of a unit's last pack, when 6 bytes
//                 or more are left; fewer go into the PES header as stuffing bytes instead
// Only a unit's first pack carries the PTS. The .idx is text:
//   # VobSub index file, v7 (do not modify this line!)
//   size: 720x576
//   palette: 000000, 0000ff, ... (16 RGB colours)
//   langidx: 0
//   id: en, index: 0
//   timestamp: 00:00:01:000, filepos: 000000000     (one line per unit)
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/packs.h"
#include "engine/stream_output.h"
#include "outputs/dvd_palette.h"
#include "report/console.h"

namespace korvell {

constexpr size_t kVobSubPack = kPackSize;

/// What a VobSub output needs to know of its stream.
struct VobSubRequest {
  /// The path of both files without extension: ".idx" and ".sub" are added (".sup" is not:
  /// supPath is the whole path of the fallback).
  std::string path;
  /// The stream's number among the title's subpicture streams, 0..31 (its substream 0x20 + n
  /// in the .sub, its index in the .idx; ffmpeg reads only the substream that matches the
  /// index). Numbers outside 0..31 are taken as the nearest of them.
  int streamNumber = 0;
  /// ISO 639 code ("en", "deu"); anything but two or three letters is written as "--".
  std::string language;
  /// The video size the Read run found; 720x576 when either is 0.
  int width = 0;
  int height = 0;
  /// The IFO's palette (0x00YYCrCb entries); defaultPalette() when none.
  std::optional<YcrcbPalette> palette;
  /// The first PTS of video stream 0: the .idx times are unit PTS minus this. Without it the
  /// times are rebased on firstPtsMin, as ".sup" records are.
  std::optional<uint32_t> videoStartPts;
  /// The ".sup" record fallback for a stream of 8-bit (HD DVD) units, which VobSub cannot
  /// carry, and the earliest PTS its records are rebased on (see SupRecordOutput).
  std::string supPath;
  uint32_t firstPtsMin = 0;
};

/// The VobSub output of one 2-bit subpicture stream. The form of the stream is that of its
/// first unit, so the files are created when the first unit's first bytes come (or in
/// finish(), for a stream that gave none): NAME.idx and NAME.sub for 2-bit units, and for
/// 8-bit units one console line saying why and the ".sup" records at supPath instead. Each
/// file created is announced by a console line "Creating PATH". A create failure comes back
/// from piece() or finish() as a CreateFailed status.
///
/// Times: unit PTS minus videoStartPts (or firstPtsMin) as a signed 32-bit difference, so a
/// PTS that wrapped past 2^32 still counts forward; the .idx shows it to the millisecond
/// (rounded to the nearest), the .sub's SCR and PTS carry it in 90 kHz ticks. A unit that starts
/// before the video is shown at 00:00:00:000, and finish() says how many did in one console line.
/// Damaged units (see SubpictureUnitAssembler) and 8-bit units amid 2-bit ones are skipped;
/// finish() says how many in one console line.
///
/// `files` and `console` must outlive the output.
std::unique_ptr<StreamOutput> makeVobSubOutput(FileSystem& files, Console& console,
                                               const VobSubRequest& request);

/// The .idx text before its timestamp lines, ending with the "id:" line and a line break.
std::string vobSubIndexHeader(const VobSubRequest& request);

/// One .idx timestamp line with its line break: "timestamp: 00:01:02:345, filepos: 00000a800".
/// `ticks` is the time in 90 kHz ticks, `filePosition` the unit's first pack in the .sub.
std::string vobSubTimestampLine(uint64_t ticks, uint64_t filePosition);

/// Appends a unit's packs (a whole number of kVobSubPack bytes) to `out`. `ticks` is the
/// unit's time (SCR and PTS, 33 bits are kept), `substream` its substream identifier.
void appendVobSubPacks(std::span<const uint8_t> unit, uint64_t ticks, uint8_t substream,
                       std::vector<uint8_t>& out);

}  // namespace korvell
