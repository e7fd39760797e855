// The HD DVD playlist (VPLST000.XPL) as a document: the title that plays a file, with its
// name, length, the streams its clips list (language, description, codec) and its chapters.
// Read with an XML parser; Read XPL's own view of the playlist (its tag lines, tree and box
// labels, playlist/) is separate and reads the bytes its own way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "disc/title.h"

namespace korvell {

/// What the playlist says about one title, beyond the Title model.
struct XplTitle {
  /// The title as the runs and the Matroska back end take it: `name` the displayName (or the
  /// id when there is none), `number` the titleNumber, `durationSeconds` from titleDuration,
  /// `streams` (see playlistTitle), `chapters`. No extents: the runs walk the source's file set.
  Title title;
  std::string id;              ///< the id attribute
  std::string durationText;    ///< titleDuration as written ("00:02:00:12")
  bool durationKnown = false;  ///< durationText is a valid time (title.durationSeconds holds it)
};

/// Reads a playlist and returns the title that plays the file whose base name (its name
/// without extension, FEATURE_1) is `baseName`: the Title element that holds the first element,
/// in document order, whose name or one of whose attribute values contains `baseName`
/// (case-sensitive, as Read XPL selects its title). Nothing when the bytes are not a
/// well-formed XML document (the parser's reason in *error when it is not null), when no
/// element mentions `baseName`, or when the one that does lies in no Title.
///
/// Times: "HH:MM:SS:FF" at the frame rate of the enclosing TitleSet's timeBase
/// (timeBaseFrameRate, 60 without one), for the duration and the chapters alike.
/// Streams: each Video (by track), Audio and Subtitle (by streamNumber) element of the title's
/// clips, the first of each family and number; `number` is that number less one, `id` -1
/// (the playlist does not say), `language` the langcode before its ":" as languageCode makes
/// it, `name` the description, `codec` the codec of the MediaAttributeList item its mediaAttr
/// names. Numbers outside 1..16 are left out.
/// Chapters: each Chapter element of the title with a valid titleTimeBegin, in document
/// order; name from displayName, language from its language attribute or else the TitleSet's
/// defaultLanguage. Element and attribute names ignore ASCII case.
std::optional<XplTitle> playlistTitle(std::string_view bytes, std::string_view baseName,
                                      std::string* error = nullptr);

}  // namespace korvell
