// The code tables that MLP and TrueHD format information and the DVD-Audio LPCM header share:
// word length and sampling frequency by 4-bit code, channel assignment by 5-bit code.
#pragma once

#include <array>
#include <cstdint>

namespace korvell {

inline constexpr std::array<const char*, 16> kMlpWordLength = {"16", "20", "24"};
inline constexpr std::array<const char*, 16> kMlpSampleRate = {
    "48", "96", "192", "", "", "", "", "", "44.1", "88.2", "176.4"};
// MLP channel assignment; codes 21 to 31 have no name.
inline constexpr std::array<const char*, 32> kMlpChannels = {"C (mono)",
                                                             "L + R",
                                                             "Lf + Rf + S",
                                                             "Lf + Rf + Ls + Rs",
                                                             "Lf + Rf + LFE",
                                                             "Lf + Rf + LFE + S",
                                                             "Lf + Rf + LFE + Ls + Rs",
                                                             "Lf + Rf + C",
                                                             "Lf + Rf + C + S",
                                                             "Lf + Rf + C + Ls + Rs",
                                                             "Lf + Rf + C + LFE",
                                                             "Lf + Rf + C + LFE + S",
                                                             "Lf + Rf + C + LFE + Ls + Rs",
                                                             "Lf + Rf + C + S",
                                                             "Lf + Rf + C + Ls + Rs",
                                                             "Lf + Rf + C + LFE",
                                                             "Lf + Rf + C + LFE + S",
                                                             "Lf + Rf + C + LFE + Ls + Rs",
                                                             "Lf + Rf + Ls + Rs + LFE",
                                                             "Lf + Rf + Ls + Rs + C",
                                                             "Lf + Rf + Ls + Rs + C + LFE"};

/// The name of a 4-bit or 5-bit code; codes without a name give the empty text.
inline const char* codeName(const std::array<const char*, 16>& table, uint32_t code) {
  return table[code & 0xF] ? table[code & 0xF] : "";
}
inline const char* codeName(const std::array<const char*, 32>& table, uint32_t code) {
  return table[code & 0x1F] ? table[code & 0x1F] : "";
}

}  // namespace korvell
