// The HD DVD playlist (VPLST$$$.XPL) as a document: its titles with their clips (which time
// map plays which part of the title), the streams the clips list with the languages and
// descriptions of the title's track list, and the chapters. Read with an XML parser; Read
// XPL's own view of the playlist (its tag lines, tree and box labels, playlist/) is separate
// and reads the bytes its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disc/title.h"
#include "engine/status.h"

namespace korvell {

/// The largest playlist read as a document (a real one is far below it).
inline constexpr size_t kMaxPlaylistModelBytes = 64 << 20;

/// One PrimaryAudioVideoClip: part [titleBegin, titleEnd) of the title timeline plays the EVO
/// of the time map `src` names from object time clipBegin on. Times are ticks of the
/// TitleSet's time base; each is empty when its attribute is missing or no valid time.
struct XplClip {
  std::string src;      ///< as written: "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
  std::string mapName;  ///< the part of src after its last "/" ("FEATURE_1.MAP"); may be empty
  std::optional<int64_t> titleBegin;
  std::optional<int64_t> titleEnd;
  int64_t clipBegin = 0;       ///< 0 without clipTimeBegin
  bool clipBeginValid = true;  ///< false when clipTimeBegin is there but no valid time
  int angle = 1;               ///< the Video element's angleNumber
};

/// One Title, or the FirstPlayTitle, of a playlist.
struct XplTitle {
  /// The title as the runs and the Matroska back end take it: `number` the titleNumber (0 for
  /// the first-play title), `name` the displayName (or the id when there is none),
  /// `durationSeconds` from titleDuration, `streams`, `chapters`. No extents: those come from
  /// the clips through their time maps.
  Title title;
  bool firstPlay = false;
  std::string id;              ///< the id attribute
  std::string durationText;    ///< titleDuration as written ("00:02:00:12")
  bool durationKnown = false;  ///< durationText is a valid time (title.durationSeconds holds it)
  std::optional<int64_t> durationTicks;
  std::vector<XplClip> clips;  ///< in document order
};

/// A playlist document.
struct XplDocument {
  /// The frames per second the TitleSet's timeBase counts (timeBaseFrameRate; 60 without one).
  int frameRate = 60;
  /// The first-play title and the titles, in document order.
  std::vector<XplTitle> titles;
  /// Whether any title (the first-play title included) has a clip.
  bool hasClip() const;
};

/// Reads a playlist document into *doc. Invalid when the bytes are not a well-formed XML
/// document, the parser's reason with its byte offset as its reason; *doc is left as it was.
///
/// Element and attribute names ignore ASCII case; elements are found at any depth below their
/// parent (a Title's clips, tracks, track list and chapters; a clip's Video, Audio, Subtitle).
/// Times: "HH:MM:SS:FF" at the frame rate of the TitleSet's timeBase.
/// Streams: each Video (by track), Audio and Subtitle (by streamNumber) element of the title's
/// clips, the first of each family and number; `number` is that number less one (numbers
/// outside 1..16 are left out). The codec is that of the MediaAttributeList item its mediaAttr
/// names (1 without one), looked up in the stream kinds' table (kindOfDiscCodec): `codec` is
/// the table's display name ("DD+" gives "E-AC-3", "MLP" "TrueHD"), or the playlist's own word
/// for a codec the table does not know; `id` the identifier of that row for the number (AC-3
/// 0x80, DTS 0x88, LPCM 0xA0, TrueHD 0xB0, E-AC-3 0xC0; MPEG-2 0xE0, AVC 0xE2, VC-1 0x55, each
/// plus the number; -1 for another codec). Subtitles are 0x20 plus the number whatever their
/// codec. Audio
/// channels and sample rate come from the attribute item. Language, description and forced
/// come from the entry of the title's TrackNavigationList whose track is the element's track
/// (AudioTrack, SubtitleTrack), else from the element's own attributes: the language is the
/// langcode before its ":" as languageCode makes it ("*" gives none), the description the
/// description attribute or else what the langcode's extension says ("03": director's
/// comments), and a subtitle is forced when `forced` is "true" or the extension is 09.
/// Chapters: each Chapter with a valid titleTimeBegin, in document order; name from
/// displayName, language from its language attribute or else the TitleSet's defaultLanguage.
Status readXplDocument(std::string_view bytes, XplDocument* doc);

/// Reads a playlist and gives in *title the title that plays the file whose base name (its
/// name without extension, FEATURE_1) is `baseName`: the Title element that holds the first
/// element, in document order, whose name or one of whose attribute values contains `baseName`
/// (case-sensitive, as Read XPL selects its title), read as readXplDocument reads titles.
/// Invalid when the bytes are not a well-formed XML document (the parser's reason); NotFound
/// when `baseName` is empty, no element mentions it, or the one that does lies in no Title.
/// *title is left as it was on a failure.
Status playlistTitle(std::string_view bytes, std::string_view baseName, XplTitle* title);

}  // namespace korvell
