#include "disc/chapters.h"

#include <algorithm>
#include <array>

#include "report/ascii_text.h"
#include "report/display_text.h"
#include "report/text_format.h"

namespace korvell {
namespace {

constexpr int kDefaultFrameRate = 60;
constexpr int kMaxFrameRate = 1000;
constexpr size_t kMaxFieldDigits = 9;  // a field of nine digits fits in an int64 with room
constexpr int64_t kNsPerSecond = 1'000'000'000;

// `text` as valid UTF-8 with each control character (U+0000..U+001F, U+007F..U+009F) as a
// blank.
std::string oneLineText(std::string_view text) {
  const std::string utf8 = displayUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7F) {
      out += ' ';
    } else if (b == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      // U+0080..U+009F: valid UTF-8 puts a continuation byte (0x80..0xBF) after 0xC2.
      out += ' ';
      ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

std::string xmlText(std::string_view text) {
  std::string out;
  for (const char c : oneLineText(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// `n` in decimal with at least `width` digits.
std::string padded(uint64_t n, size_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

uint64_t nonNegative(int64_t ns) {
  return ns < 0 ? 0 : static_cast<uint64_t>(ns);
}

// A chapter's name as the files carry it: players and muxers show an unnamed chapter as
// "Chapter 01", "Chapter 02" ..., so the files say so themselves.
std::string chapterName(const std::vector<Chapter>& chapters, size_t index) {
  const std::string& name = chapters[index].name;
  return name.empty() ? "Chapter " + padded(index + 1, 2) : name;
}

}  // namespace

int timeBaseFrameRate(std::string_view timeBase) {
  int rate = 0;
  for (size_t i = 0; i < timeBase.size() && isAsciiDigit(timeBase[i]); ++i) {
    rate = rate * 10 + (timeBase[i] - '0');
    if (rate > kMaxFrameRate) return kDefaultFrameRate;
  }
  return rate == 0 ? kDefaultFrameRate : rate;
}

std::optional<int64_t> titleTimeTicks(std::string_view time, int frameRate) {
  if (frameRate < 1 || frameRate > kMaxFrameRate) return std::nullopt;
  std::array<int64_t, 4> fields{};
  size_t field = 0;
  size_t digits = 0;
  for (const char c : time) {
    if (c == ':') {
      if (digits == 0 || ++field == fields.size()) return std::nullopt;
      digits = 0;
    } else if (isAsciiDigit(c) && digits < kMaxFieldDigits) {
      fields[field] = fields[field] * 10 + (c - '0');
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (field != fields.size() - 1 || digits == 0) return std::nullopt;
  const auto [hours, minutes, seconds, frames] = fields;
  if (hours > 99 || minutes > 59 || seconds > 59 || frames >= frameRate) return std::nullopt;
  return ((hours * 60 + minutes) * 60 + seconds) * frameRate + frames;
}

int64_t titleTicksNs(int64_t ticks, int frameRate) {
  const int64_t rate = frameRate < 1 ? kDefaultFrameRate : frameRate;
  // The remainder's ticks * 2e9 stays below 2e12: no overflow in the rounding.
  const int64_t frameNs = (ticks % rate * 2 * kNsPerSecond + rate) / (2 * rate);
  return ticks / rate * kNsPerSecond + frameNs;
}

std::optional<int64_t> titleTimeNs(std::string_view time, int frameRate) {
  const std::optional<int64_t> ticks = titleTimeTicks(time, frameRate);
  if (!ticks) return std::nullopt;
  return titleTicksNs(*ticks, frameRate);
}

std::string simpleChapterText(const std::vector<Chapter>& chapters) {
  // mkvmerge reads a simple chapter file in the user's character set unless it begins with a
  // byte-order mark; with one it reads UTF-8 whatever the locale.
  std::string text = chapters.empty() ? "" : kUtf8ByteOrderMark;
  for (size_t i = 0; i < chapters.size(); ++i) {
    const std::string key = "CHAPTER" + padded(i + 1, 2);
    text += key + "=" + millisecondText(chapters[i].startNs) + "\n";
    text += key + "NAME=" + oneLineText(chapterName(chapters, i)) + "\n";
  }
  return text;
}

std::string matroskaChapterXml(const std::vector<Chapter>& chapters) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Chapters>\n";
  if (!chapters.empty()) {
    xml += "  <EditionEntry>\n";
    for (size_t i = 0; i < chapters.size(); ++i) {
      const Chapter& chapter = chapters[i];
      xml += "    <ChapterAtom>\n";
      xml += "      <ChapterTimeStart>" + durationText(nonNegative(chapter.startNs), 9) +
             "</ChapterTimeStart>\n";
      xml += "      <ChapterDisplay>\n";
      xml += "        <ChapterString>" + xmlText(chapterName(chapters, i)) + "</ChapterString>\n";
      if (!chapter.language.empty()) {
        xml += "        <ChapterLanguage>" + xmlText(chapter.language) + "</ChapterLanguage>\n";
      }
      xml += "      </ChapterDisplay>\n";
      xml += "    </ChapterAtom>\n";
    }
    xml += "  </EditionEntry>\n";
  }
  xml += "</Chapters>\n";
  return xml;
}

}  // namespace korvell
