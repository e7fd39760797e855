#include "mux/language_codes.h"

#include <array>
#include <cstddef>
#include <iterator>

namespace korvell {

namespace {

// Every ISO 639-1 code with its ISO 639-2 bibliographic (B) and terminology (T) codes (they
// differ for twenty languages: German ger/deu, French fre/fra, ...) and its English name.
// Serbo-Croatian has no 639-2 code; its 639-3 code hbs stands in for both.
constexpr LanguageRow kLanguages[] = {
    {"aa", "aar", "aar", "Afar"},
    {"ab", "abk", "abk", "Abkhazian"},
    {"ae", "ave", "ave", "Avestan"},
    {"af", "afr", "afr", "Afrikaans"},
    {"ak", "aka", "aka", "Akan"},
    {"am", "amh", "amh", "Amharic"},
    {"an", "arg", "arg", "Aragonese"},
    {"ar", "ara", "ara", "Arabic"},
    {"as", "asm", "asm", "Assamese"},
    {"av", "ava", "ava", "Avaric"},
    {"ay", "aym", "aym", "Aymara"},
    {"az", "aze", "aze", "Azerbaijani"},
    {"ba", "bak", "bak", "Bashkir"},
    {"be", "bel", "bel", "Belarusian"},
    {"bg", "bul", "bul", "Bulgarian"},
    {"bh", "bih", "bih", "Bihari languages"},
    {"bi", "bis", "bis", "Bislama"},
    {"bm", "bam", "bam", "Bambara"},
    {"bn", "ben", "ben", "Bengali"},
    {"bo", "tib", "bod", "Tibetan"},
    {"br", "bre", "bre", "Breton"},
    {"bs", "bos", "bos", "Bosnian"},
    {"ca", "cat", "cat", "Catalan"},
    {"ce", "che", "che", "Chechen"},
    {"ch", "cha", "cha", "Chamorro"},
    {"co", "cos", "cos", "Corsican"},
    {"cr", "cre", "cre", "Cree"},
    {"cs", "cze", "ces", "Czech"},
    {"cu", "chu", "chu", "Church Slavic"},
    {"cv", "chv", "chv", "Chuvash"},
    {"cy", "wel", "cym", "Welsh"},
    {"da", "dan", "dan", "Danish"},
    {"de", "ger", "deu", "German"},
    {"dv", "div", "div", "Dhivehi"},
    {"dz", "dzo", "dzo", "Dzongkha"},
    {"ee", "ewe", "ewe", "Ewe"},
    {"el", "gre", "ell", "Greek"},
    {"en", "eng", "eng", "English"},
    {"eo", "epo", "epo", "Esperanto"},
    {"es", "spa", "spa", "Spanish"},
    {"et", "est", "est", "Estonian"},
    {"eu", "baq", "eus", "Basque"},
    {"fa", "per", "fas", "Persian"},
    {"ff", "ful", "ful", "Fulah"},
    {"fi", "fin", "fin", "Finnish"},
    {"fj", "fij", "fij", "Fijian"},
    {"fo", "fao", "fao", "Faroese"},
    {"fr", "fre", "fra", "French"},
    {"fy", "fry", "fry", "Western Frisian"},
    {"ga", "gle", "gle", "Irish"},
    {"gd", "gla", "gla", "Scottish Gaelic"},
    {"gl", "glg", "glg", "Galician"},
    {"gn", "grn", "grn", "Guarani"},
    {"gu", "guj", "guj", "Gujarati"},
    {"gv", "glv", "glv", "Manx"},
    {"ha", "hau", "hau", "Hausa"},
    {"he", "heb", "heb", "Hebrew"},
    {"hi", "hin", "hin", "Hindi"},
    {"ho", "hmo", "hmo", "Hiri Motu"},
    {"hr", "hrv", "hrv", "Croatian"},
    {"ht", "hat", "hat", "Haitian"},
    {"hu", "hun", "hun", "Hungarian"},
    {"hy", "arm", "hye", "Armenian"},
    {"hz", "her", "her", "Herero"},
    {"ia", "ina", "ina", "Interlingua"},
    {"id", "ind", "ind", "Indonesian"},
    {"ie", "ile", "ile", "Interlingue"},
    {"ig", "ibo", "ibo", "Igbo"},
    {"ii", "iii", "iii", "Sichuan Yi"},
    {"ik", "ipk", "ipk", "Inupiaq"},
    {"io", "ido", "ido", "Ido"},
    {"is", "ice", "isl", "Icelandic"},
    {"it", "ita", "ita", "Italian"},
    {"iu", "iku", "iku", "Inuktitut"},
    {"ja", "jpn", "jpn", "Japanese"},
    {"jv", "jav", "jav", "Javanese"},
    {"ka", "geo", "kat", "Georgian"},
    {"kg", "kon", "kon", "Kongo"},
    {"ki", "kik", "kik", "Kikuyu"},
    {"kj", "kua", "kua", "Kuanyama"},
    {"kk", "kaz", "kaz", "Kazakh"},
    {"kl", "kal", "kal", "Kalaallisut"},
    {"km", "khm", "khm", "Khmer"},
    {"kn", "kan", "kan", "Kannada"},
    {"ko", "kor", "kor", "Korean"},
    {"kr", "kau", "kau", "Kanuri"},
    {"ks", "kas", "kas", "Kashmiri"},
    {"ku", "kur", "kur", "Kurdish"},
    {"kv", "kom", "kom", "Komi"},
    {"kw", "cor", "cor", "Cornish"},
    {"ky", "kir", "kir", "Kirghiz"},
    {"la", "lat", "lat", "Latin"},
    {"lb", "ltz", "ltz", "Luxembourgish"},
    {"lg", "lug", "lug", "Ganda"},
    {"li", "lim", "lim", "Limburgan"},
    {"ln", "lin", "lin", "Lingala"},
    {"lo", "lao", "lao", "Lao"},
    {"lt", "lit", "lit", "Lithuanian"},
    {"lu", "lub", "lub", "Luba-Katanga"},
    {"lv", "lav", "lav", "Latvian"},
    {"mg", "mlg", "mlg", "Malagasy"},
    {"mh", "mah", "mah", "Marshallese"},
    {"mi", "mao", "mri", "Maori"},
    {"mk", "mac", "mkd", "Macedonian"},
    {"ml", "mal", "mal", "Malayalam"},
    {"mn", "mon", "mon", "Mongolian"},
    {"mr", "mar", "mar", "Marathi"},
    {"ms", "may", "msa", "Malay"},
    {"mt", "mlt", "mlt", "Maltese"},
    {"my", "bur", "mya", "Burmese"},
    {"na", "nau", "nau", "Nauru"},
    {"nb", "nob", "nob", "Norwegian Bokmål"},
    {"nd", "nde", "nde", "North Ndebele"},
    {"ne", "nep", "nep", "Nepali"},
    {"ng", "ndo", "ndo", "Ndonga"},
    {"nl", "dut", "nld", "Dutch"},
    {"nn", "nno", "nno", "Norwegian Nynorsk"},
    {"no", "nor", "nor", "Norwegian"},
    {"nr", "nbl", "nbl", "South Ndebele"},
    {"nv", "nav", "nav", "Navajo"},
    {"ny", "nya", "nya", "Nyanja"},
    {"oc", "oci", "oci", "Occitan"},
    {"oj", "oji", "oji", "Ojibwa"},
    {"om", "orm", "orm", "Oromo"},
    {"or", "ori", "ori", "Oriya"},
    {"os", "oss", "oss", "Ossetian"},
    {"pa", "pan", "pan", "Panjabi"},
    {"pi", "pli", "pli", "Pali"},
    {"pl", "pol", "pol", "Polish"},
    {"ps", "pus", "pus", "Pushto"},
    {"pt", "por", "por", "Portuguese"},
    {"qu", "que", "que", "Quechua"},
    {"rm", "roh", "roh", "Romansh"},
    {"rn", "run", "run", "Rundi"},
    {"ro", "rum", "ron", "Romanian"},
    {"ru", "rus", "rus", "Russian"},
    {"rw", "kin", "kin", "Kinyarwanda"},
    {"sa", "san", "san", "Sanskrit"},
    {"sc", "srd", "srd", "Sardinian"},
    {"sd", "snd", "snd", "Sindhi"},
    {"se", "sme", "sme", "Northern Sami"},
    {"sg", "sag", "sag", "Sango"},
    {"sh", "hbs", "hbs", "Serbo-Croatian"},
    {"si", "sin", "sin", "Sinhala"},
    {"sk", "slo", "slk", "Slovak"},
    {"sl", "slv", "slv", "Slovenian"},
    {"sm", "smo", "smo", "Samoan"},
    {"sn", "sna", "sna", "Shona"},
    {"so", "som", "som", "Somali"},
    {"sq", "alb", "sqi", "Albanian"},
    {"sr", "srp", "srp", "Serbian"},
    {"ss", "ssw", "ssw", "Swati"},
    {"st", "sot", "sot", "Southern Sotho"},
    {"su", "sun", "sun", "Sundanese"},
    {"sv", "swe", "swe", "Swedish"},
    {"sw", "swa", "swa", "Swahili"},
    {"ta", "tam", "tam", "Tamil"},
    {"te", "tel", "tel", "Telugu"},
    {"tg", "tgk", "tgk", "Tajik"},
    {"th", "tha", "tha", "Thai"},
    {"ti", "tir", "tir", "Tigrinya"},
    {"tk", "tuk", "tuk", "Turkmen"},
    {"tl", "tgl", "tgl", "Tagalog"},
    {"tn", "tsn", "tsn", "Tswana"},
    {"to", "ton", "ton", "Tonga"},
    {"tr", "tur", "tur", "Turkish"},
    {"ts", "tso", "tso", "Tsonga"},
    {"tt", "tat", "tat", "Tatar"},
    {"tw", "twi", "twi", "Twi"},
    {"ty", "tah", "tah", "Tahitian"},
    {"ug", "uig", "uig", "Uighur"},
    {"uk", "ukr", "ukr", "Ukrainian"},
    {"ur", "urd", "urd", "Urdu"},
    {"uz", "uzb", "uzb", "Uzbek"},
    {"ve", "ven", "ven", "Venda"},
    {"vi", "vie", "vie", "Vietnamese"},
    {"vo", "vol", "vol", "Volapük"},
    {"wa", "wln", "wln", "Walloon"},
    {"wo", "wol", "wol", "Wolof"},
    {"xh", "xho", "xho", "Xhosa"},
    {"yi", "yid", "yid", "Yiddish"},
    {"yo", "yor", "yor", "Yoruba"},
    {"za", "zha", "zha", "Zhuang"},
    {"zh", "chi", "zho", "Chinese"},
    {"zu", "zul", "zul", "Zulu"},
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
  std::string lower;
  for (const char c : part) {
    if (c >= 'A' && c <= 'Z') {
      lower += static_cast<char>(c - 'A' + 'a');
    } else if (c >= 'a' && c <= 'z') {
      lower += c;
    } else {
      return {};
    }
  }
  return lower;
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
