#include "mux/language_codes.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "report/ascii_text.h"

namespace korvell {

namespace {

// Every ISO 639-1 code with its ISO 639-2 bibliographic (B) and terminology (T) codes (they
// differ for twenty languages: German ger/deu, French fre/fra, ...) and its English name,
// made at build time from iso-codes (cmake/make_language_table.py).
constexpr LanguageRow kLanguages[] = {
#include "mux/language_table.inc"
};

// Two-letter codes withdrawn from ISO 639-1 that older discs still carry.
constexpr std::array<std::array<const char*, 2>, 5> kWithdrawn = {{
    {"in", "ind"},  // Indonesian, now id
    {"iw", "heb"},  // Hebrew, now he
    {"ji", "yid"},  // Yiddish, now yi
    {"jw", "jav"},  // Javanese, now jv
    {"mo", "rum"},  // Moldavian, merged into ro
}};

// Three-letter codes that name no single language and that mkvmerge takes as they are.
constexpr std::array<const char*, 4> kSpecial = {"und", "mul", "zxx", "mis"};

// The code's first part (before ':', '-' or '_'), without blanks, lower-cased; empty when it
// holds anything but ASCII letters.
std::string primaryPart(std::string_view code) {
  const size_t end = code.find_first_of(":-_");
  std::string_view part = code.substr(0, end);
  while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
    part.remove_prefix(1);
  while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
    part.remove_suffix(1);
  if (!std::all_of(part.begin(), part.end(), isAsciiLetter)) return {};
  return asciiLowered(part);
}

const LanguageRow* rowOf(const std::string& code) {
  if (code.size() == 2) {
    for (const auto& [old, b] : kWithdrawn) {
      if (code == old) return rowOf(b);
    }
  }
  for (const LanguageRow& row : kLanguages) {
    if (code.size() == 2 ? code == row.iso6391 : (code == row.iso6392b || code == row.iso6392t)) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace

std::string matroskaLanguage(std::string_view code) {
  const std::string part = primaryPart(code);
  if (const LanguageRow* row = rowOf(part)) return row->iso6392b;
  for (const char* special : kSpecial) {
    if (part == special) return part;
  }
  return "und";
}

std::string languageName(std::string_view code) {
  const LanguageRow* row = rowOf(primaryPart(code));
  return row != nullptr ? row->name : "";
}

bool languageRow(size_t index, LanguageRow* row) {
  if (index >= std::size(kLanguages)) return false;
  *row = kLanguages[index];
  return true;
}

}  // namespace korvell
