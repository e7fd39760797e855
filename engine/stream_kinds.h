// What every stream identifier means: the one table of identifier ranges. The walker, stream
// detection, the labels, the analyser dispatch, the rebuild pass and the reports all look
// identifiers up here; nothing else tests an identifier range.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "analysis/analyser.h"
#include "engine/slots.h"

namespace korvell {

// Start codes of the program stream's structure (00 00 01 xx).
inline constexpr uint8_t kPackStart = 0xBA;
inline constexpr uint8_t kSystemHeader = 0xBB;
inline constexpr uint8_t kProgramStreamMap = 0xBC;
inline constexpr uint8_t kPrivateStream1 = 0xBD;
inline constexpr uint8_t kPadding = 0xBE;
inline constexpr uint8_t kPrivateStream2 = 0xBF;
inline constexpr uint8_t kExtendedStreamId = 0xFD;

/// Where a packet carries the identifier of its stream: its PES stream_id, the
/// stream_id_extension of an extended-stream-id packet (0xFD), or the first byte of a
/// private-stream-1 payload (the substream id).
enum class IdSpace : uint8_t { StreamId, Extension, Substream };

/// The codecs the walker tells apart.
enum class Codec : uint8_t {
  Mpeg2,
  H264,
  Vc1,
  MpegAudio,
  Ac3,
  Dts,
  Lpcm,
  Mlp,
  TrueHd,
  Eac3,
  Subpicture,
  ExtSubpicture
};

/// Which files a row applies to: DVD-Audio (.AOB) carries MLP as substream 0xA1 and gives
/// LPCM headers a length field; other files do not.
enum class Files : uint8_t { Any, AudioObject, NotAudioObject };

/// One identifier range and everything the system knows about it.
struct StreamKindInfo {
  IdSpace space;
  uint8_t first;  ///< the range, inclusive
  uint8_t last;
  Files files;
  Codec codec;
  bool registered;  ///< claims a slot of `family` (MPEG audio has none)
  Family family;
  uint8_t slotBase;         ///< slot = identifier - slotBase
  bool selectable;          ///< its slots are selectable (subpicture slots 16..31 are not)
  const char* foundPrefix;  ///< the scan report's line before the slot number and " found!"
  const char* label;        ///< the codec label of the stream boxes and file names, or null
  Analyser analyser;
  uint8_t headerBytes;    ///< private-stream-1 header bytes before the payload, the id included
                          ///< (0: a 16-bit length field at bytes 2-3 gives 4 + that length)
  uint8_t frameCode;      ///< video: the start code byte that begins a frame
  const char* codecName;  ///< the short codec name of reports (as ffprobe names codecs)
  /// The extension (without its dot) of a file that holds the stream as it stands, named by
  /// its codec: what "name files by codec" gives. LPCM as it stands has no file form of its
  /// own; its ".lpcm" says so.
  const char* codecExtension;
  const char* displayName;  ///< the codec as people name it: track names, title listings
  /// The codec as an HD DVD playlist's MediaAttributeList names it, or null.
  const char* playlistCodec;
  /// The DVD IFO audio_format codes that name this codec, one bit each (0: AC-3, 2 and 3:
  /// MPEG-1 and MPEG-2 audio, 4: LPCM, 6: DTS).
  uint8_t ifoAudioFormats;
};

// clang-format off
inline constexpr StreamKindInfo kStreamKinds[] = {
  // space            first last  files                  codec               reg    family              base  select prefix                                       label              analyser             hdr  frame name ext display playlist ifo
  {IdSpace::StreamId,  0xE0, 0xE1, Files::Any,            Codec::Mpeg2,       true,  Family::Video,      0xE0, true,  "[b]MPEG-2[/b] video stream ",                 "MPEG-2.stream",   Analyser::Mpeg2,      0, 0x00, "mpeg2video", "m2v", "MPEG-2", "MPEG-2", 0},
  {IdSpace::StreamId,  0xE2, 0xE3, Files::Any,            Codec::H264,        true,  Family::Video,      0xE2, true,  "[b]H.264 (AVC)[/b] video stream ",            "H.264.stream",    Analyser::H264,       0, 0x09, "h264", "h264", "H.264", "AVC", 0},
  {IdSpace::Extension, 0x55, 0x56, Files::Any,            Codec::Vc1,         true,  Family::Video,      0x55, true,  "[b]VC-1[/b] video stream ",                   "VC-1.stream",     Analyser::Vc1,        0, 0x0D, "vc1", "vc1", "VC-1", "VC-1", 0},
  {IdSpace::StreamId,  0xC0, 0xCF, Files::Any,            Codec::MpegAudio,   false, Family::Audio,      0xC0, false, "",                                            nullptr,           Analyser::None,       0, 0x00, "mp2", "mpa", "MPEG audio", "MPEG", 0x0C},
  {IdSpace::Substream, 0x80, 0x87, Files::Any,            Codec::Ac3,         true,  Family::Audio,      0x80, true,  "[b]Dolby Digital[/b] audio stream ",          "DD.stream",       Analyser::Ac3,        4, 0x00, "ac3", "ac3", "AC-3", "AC-3", 0x01},
  {IdSpace::Substream, 0x88, 0x8F, Files::Any,            Codec::Dts,         true,  Family::Audio,      0x88, true,  "[b]DTS HD (DTS)[/b] audio stream ",           "DTSHD.stream",    Analyser::Dts,        4, 0x00, "dts", "dts", "DTS", "DTS-HD", 0x40},
  {IdSpace::Substream, 0xA1, 0xA1, Files::AudioObject,    Codec::Mlp,         true,  Family::Audio,      0xA0, true,  "[b]MLP[/b] audio stream ",                    "LPCM.stream",     Analyser::Mlp,        0, 0x00, "mlp", "mlp", "MLP", nullptr, 0},
  {IdSpace::Substream, 0xA0, 0xA7, Files::AudioObject,    Codec::Lpcm,        true,  Family::Audio,      0xA0, true,  "[b]LPCM[/b] audio stream ",                   "LPCM.stream",     Analyser::AobLpcm,    0, 0x00, "lpcm", "lpcm", "LPCM", "LPCM", 0x10},
  {IdSpace::Substream, 0xA0, 0xA7, Files::NotAudioObject, Codec::Lpcm,        true,  Family::Audio,      0xA0, true,  "[b]LPCM[/b] audio stream ",                   "LPCM.stream",     Analyser::Lpcm,       7, 0x00, "lpcm", "lpcm", "LPCM", "LPCM", 0x10},
  {IdSpace::Substream, 0xB0, 0xB7, Files::Any,            Codec::TrueHd,      true,  Family::Audio,      0xB0, true,  "[b]Dolby TrueHD[/b] audio stream ",           "MLP.stream",      Analyser::Mlp,        5, 0x00, "truehd", "thd", "TrueHD", "MLP", 0},
  {IdSpace::Substream, 0xC0, 0xCF, Files::Any,            Codec::Eac3,        true,  Family::Audio,      0xC0, true,  "[b]Dolby Digital[/b] Plus audio stream ",     "DD+.stream",      Analyser::Ac3,        4, 0x00, "eac3", "eac3", "E-AC-3", "DD+", 0},
  {IdSpace::Substream, 0x20, 0x2F, Files::Any,            Codec::Subpicture,  true,  Family::Subpicture, 0x20, true,  "[b]Subpicture[/b] stream ",                   "Subpicture",      Analyser::Subpicture, 1, 0x00, "dvd_subtitle", "sup", "Subpictures", nullptr, 0},
  {IdSpace::Substream, 0x30, 0x3F, Files::Any,            Codec::Subpicture,  true,  Family::Subpicture, 0x20, false, "[b]Subpicture[/b] stream ",                   nullptr,           Analyser::Subpicture, 1, 0x00, "dvd_subtitle", "sup", "Subpictures", nullptr, 0},
  {IdSpace::Substream, 0x60, 0x6F, Files::Any,            Codec::ExtSubpicture, true, Family::Subpicture, 0x60, true,  "[b]Extended subpicture[/b] stream ",          "Ext.Subpicture",  Analyser::Subpicture, 1, 0x00, "dvd_subtitle", "sup", "Extended subpictures", nullptr, 0},
  {IdSpace::Substream, 0x70, 0x7F, Files::Any,            Codec::ExtSubpicture, true, Family::Subpicture, 0x60, false, "[b]Extended subpicture[/b] stream ",          nullptr,           Analyser::Subpicture, 1, 0x00, "dvd_subtitle", "sup", "Extended subpictures", nullptr, 0},
};
// clang-format on

namespace stream_kinds_detail {

// The first row, in table order, that holds each identifier of a space: built at compile
// time, so a lookup is one load.
constexpr std::array<int8_t, 256> buildIndex(IdSpace space, bool audioObject) {
  std::array<int8_t, 256> index{};
  for (int id = 0; id < 256; ++id) {
    index[static_cast<size_t>(id)] = -1;
    for (size_t row = 0; row < std::size(kStreamKinds); ++row) {
      const StreamKindInfo& kind = kStreamKinds[row];
      if (kind.space != space || id < kind.first || id > kind.last) continue;
      if (kind.files == Files::AudioObject && !audioObject) continue;
      if (kind.files == Files::NotAudioObject && audioObject) continue;
      index[static_cast<size_t>(id)] = static_cast<int8_t>(row);
      break;
    }
  }
  return index;
}

inline constexpr std::array<std::array<int8_t, 256>, 6> kIndex = {
    buildIndex(IdSpace::StreamId, false),  buildIndex(IdSpace::StreamId, true),
    buildIndex(IdSpace::Extension, false), buildIndex(IdSpace::Extension, true),
    buildIndex(IdSpace::Substream, false), buildIndex(IdSpace::Substream, true)};

}  // namespace stream_kinds_detail

/// The row of an identifier as a packet carries it, or null for an identifier no row knows.
/// `audioObject`: the file is a DVD-Audio .AOB. Where rows overlap the first in table order
/// wins, so the more particular one (MLP 0xA1 in an .AOB) comes first.
constexpr const StreamKindInfo* findKind(IdSpace space, uint8_t id, bool audioObject = false) {
  const int row =
      stream_kinds_detail::kIndex[static_cast<size_t>(space) * 2 + (audioObject ? 1 : 0)][id];
  return row < 0 ? nullptr : &kStreamKinds[row];
}

/// The registered row of `family` whose codec a disc names: an HD DVD playlist's
/// MediaAttributeList codec ("DD+", "MLP", "DTS-HD", "AVC") or the table's display name
/// ("E-AC-3", "DTS"), ASCII case ignored; null for a name no row has.
const StreamKindInfo* kindOfDiscCodec(Family family, std::string_view name);

/// The row of a DVD IFO audio_format code (0 AC-3, 2 MPEG-1, 3 MPEG-2, 4 LPCM, 6 DTS); null
/// for the others (SDDS, reserved codes).
const StreamKindInfo* kindOfIfoAudioFormat(int format);

/// The first row of a codec.
constexpr const StreamKindInfo* kindOfCodec(Codec codec) {
  for (const StreamKindInfo& kind : kStreamKinds) {
    if (kind.codec == codec) return &kind;
  }
  return nullptr;
}

/// The row of an identifier that the registry holds for a family (a video stream_id or
/// VC-1 extension, an audio or subpicture substream id), or null (-1, or not of the family).
constexpr const StreamKindInfo* registeredKind(Family family, int32_t id,
                                               bool audioObject = false) {
  if (id < 0 || id > 0xFF) return nullptr;
  const auto byte = static_cast<uint8_t>(id);
  const StreamKindInfo* kind = nullptr;
  if (family == Family::Video) {
    kind = findKind(IdSpace::StreamId, byte, audioObject);
    if (kind == nullptr) kind = findKind(IdSpace::Extension, byte, audioObject);
  } else {
    kind = findKind(IdSpace::Substream, byte, audioObject);
  }
  return kind != nullptr && kind->registered && kind->family == family ? kind : nullptr;
}

/// The slot an identifier of a row claims.
constexpr int slotOf(const StreamKindInfo& kind, uint8_t id) {
  return id - kind.slotBase;
}

/// The identifier of slot `slot` within a row's range: what a kept stream is renumbered to.
/// -1 when the range has no identifier for that slot.
constexpr int idOfSlot(const StreamKindInfo& kind, int slot) {
  const int id = kind.slotBase + slot;
  return id >= kind.first && id <= kind.last ? id : -1;
}

}  // namespace korvell
