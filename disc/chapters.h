// Chapter times as a playlist writes them, and the two chapter files a muxer takes: the simple
// "CHAPTERnn=" text and Matroska chapter XML.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disc/chapter.h"
#include "report/ascii_text.h"

namespace korvell {

/// The frames per second that a timeBase attribute value ("60Hz", "50fps", "24") counts: the
/// number its value starts with. 60 when the value is empty, does not start with a digit, or
/// its number is 0 or above 1000.
int timeBaseFrameRate(std::string_view timeBase);

/// A title time "HH:MM:SS:FF" in ticks of `frameRate` (1..1000): ((HH × 60 + MM) × 60 + SS) ×
/// frameRate + FF, with the fields checked as titleTimeNs checks them; nothing when they fail.
std::optional<int64_t> titleTimeTicks(std::string_view time, int frameRate);

/// Non-negative title ticks of `frameRate` (60 when it is below 1) in nanoseconds, rounded to
/// the nearest (half up).
int64_t titleTicksNs(int64_t ticks, int frameRate);

/// A title time "HH:MM:SS:FF" in nanoseconds, FF counting frames at `frameRate` (1..1000)
/// and rounded to the nearest nanosecond (half up). Each of the four fields is one to nine
/// ASCII digits, with HH at most 99, MM and SS at most 59 and FF below `frameRate`; anything
/// else (a missing or extra field, blanks, signs, other characters, a frame rate outside
/// 1..1000) gives nothing. The result is below 100 hours, so it never overflows.
std::optional<int64_t> titleTimeNs(std::string_view time, int frameRate);

/// The UTF-8 byte-order mark that begins a simple chapter text.
inline constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

/// The simple chapter text: the UTF-8 byte-order mark, then for chapter n (from 1, at least two
/// digits: 01, ..., 99, 100) the lines "CHAPTERnn=HH:MM:SS.mmm" and "CHAPTERnnNAME=name", each
/// ended by "\n". The time is rounded to the nearest millisecond (half up), a negative start counts
/// as 0, and HH takes more than two digits past 99 hours. The name is made valid UTF-8 as
/// displayUtf8 does, and each control character (U+0000..U+001F, U+007F..U+009F) becomes a blank,
/// so a name is always one line; a chapter without a name is "Chapter nn" (its number as in the
/// key). The language is not written. Empty text for no chapters.
std::string simpleChapterText(const std::vector<Chapter>& chapters);

/// Matroska chapter XML: an XML declaration, then <Chapters> with one <EditionEntry> holding
/// one <ChapterAtom> per chapter, each with <ChapterTimeStart>HH:MM:SS.nnnnnnnnn</...> and a
/// <ChapterDisplay> of <ChapterString>name</...> and, when the language is not empty,
/// <ChapterLanguage>language</...>; a chapter without a name is "Chapter nn" (from 01, at least
/// two digits), as in the simple text. Names and languages are made valid UTF-8 as displayUtf8
/// does, control characters become blanks (XML allows none of them), and &, <, > and " are
/// written as entity references. A negative start counts as 0. For no chapters the text is
/// the declaration and an empty <Chapters> element (an EditionEntry needs an atom).
std::string matroskaChapterXml(const std::vector<Chapter>& chapters);

}  // namespace korvell
