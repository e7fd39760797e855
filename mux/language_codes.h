// Language codes for Matroska tracks. Discs give ISO 639-1 codes (DVD IFOs: "en"; HD DVD
// playlists: langcode="en:00"); mkvmerge takes ISO 639-2 codes, and the track names Korvell
// makes up need the language's English name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvell {

/// The ISO 639-2/B code mkvmerge is given for a language code as a disc gives it: the part
/// before the first ':', '-' or '_', without surrounding blanks, in either case. A two-letter
/// ISO 639-1 code (including the withdrawn iw, in, ji, jw and mo that older discs use) becomes
/// its 639-2/B code ("de" -> "ger", "en:00" -> "eng"; "sh" -> "hbs", which has no 639-2 code);
/// a three-letter 639-2 code stays in its B form ("deu" -> "ger", "eng" -> "eng"), as do
/// "und", "mul", "zxx" and "mis". Anything else, empty included, is "und" (mkvmerge refuses a
/// code it does not know, and one unknown code must not fail the whole mux).
std::string matroskaLanguage(std::string_view code);

/// The English name of a language ("English", "German", "Greek"), from any code
/// matroskaLanguage accepts; empty for "und" and codes it does not know.
std::string languageName(std::string_view code);

/// The table of ISO 639-1 codes, for tests: row `index`, or false past the end.
struct LanguageRow {
  const char* iso6391;
  const char* iso6392b;
  const char* iso6392t;
  const char* name;
};
bool languageRow(size_t index, LanguageRow* row);

}  // namespace korvell
