// The kinds of file Korvell reads, by extension: HD DVD .EVO, DVD-Video .VOB and DVD-Audio
// .AOB. Every front end and run asks here.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace korvell {

/// One kind of program-stream file: its upper-case extension and the name a file dialog
/// shows for it.
struct ProgramStreamKind {
  const char* extension;
  const char* description;
};

inline constexpr std::array<ProgramStreamKind, 3> kProgramStreamKinds = {{
    {".EVO", "EVOB files (HD DVD)"},
    {".AOB", "AOB files (DVD Audio)"},
    {".VOB", "VOB files (DVD Video)"},
}};

/// The upper-cased extension of a path, dot included (".EVO"), or empty: the part of its name
/// from the last "." on, provided no separator follows that dot.
std::string upperExtension(std::string_view path);

/// Whether a path names a program stream Korvell reads (.EVO, .VOB or .AOB, any case).
bool isProgramStream(std::string_view path);

/// Whether a path names a DVD-Audio object (.AOB, any case): its substream 0xA1 is MLP and its
/// LPCM headers give their own length.
bool isAudioObject(std::string_view path);

}  // namespace korvell
