#include "playlist/title_select.h"

#include <array>

#include "playlist/xpl_attribute.h"

namespace korvell {
namespace {

constexpr int kMaxStreamNumber = 16;  // track and stream numbers 1..16, one per slot

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string twoDigits(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

// The streams a title has listed so far, one mark per number and family.
struct Marks {
  std::array<bool, kMaxStreamNumber> video{};
  std::array<bool, kMaxStreamNumber> audio{};
  std::array<bool, kMaxStreamNumber> sub{};
  std::array<bool, kMaxStreamNumber>& of(Family family) {
    return family == Family::Video ? video : family == Family::Audio ? audio : sub;
  }
};

}  // namespace

TitleSelection selectTitle(const std::vector<std::string>& lines, const PlaylistTables& tables,
                           std::string_view baseName) {
  TitleSelection result;
  size_t anchor = 0;
  while (anchor < lines.size() && !contains(lines[anchor], baseName))
    ++anchor;
  if (anchor == 0 || anchor == lines.size()) {
    result.lines = lines;
    return result;
  }
  result.found = true;

  // The search starts on the anchor itself: a title that names the file in its own tag is
  // that title, not the one before it.
  size_t first = anchor + 1;
  while (first > 0 && !contains(upperAscii(lines[first - 1]), "<TITLE "))
    --first;
  first = first > 0 ? first - 1 : 0;
  size_t last = first;
  while (last < lines.size() && !contains(upperAscii(lines[last]), "</TITLE"))
    ++last;
  if (last == lines.size()) --last;
  result.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(first),
                      lines.begin() + static_cast<std::ptrdiff_t>(last) + 1);

  auto& roots = result.tree.roots;
  for (const char* root : {"Info", "Video", "Audio", "Subtitle", "Chapter"}) {
    roots.push_back({root, {}});
  }
  PlaylistNode& info = roots[0];
  if (!tables.title.empty()) info.children.push_back({"Title: " + tables.title, {}});

  Marks marks;
  for (const std::string& line : result.lines) {
    const std::string upper = upperAscii(line);
    if (contains(upper, "<TITLE ")) {
      info.children.push_back({"Name: " + attributeValue(line, "displayName"), {}});
      info.children.push_back({"Duration: " + attributeValue(line, "titleDuration"), {}});
    }
    if (contains(upper, "<CHAPTER ")) {
      roots[4].children.push_back(
          {attributeValue(line, "titleTimeBegin") + ": " + attributeValue(line, "displayName"),
           {}});
    }

    Family family;
    int number;
    if (contains(upper, "<VIDEO ")) {
      family = Family::Video;
      number = integerAttribute(line, "track");
    } else if (contains(upper, "<AUDIO ")) {
      family = Family::Audio;
      number = integerAttribute(line, "streamNumber");
    } else if (contains(upper, "<SUBTITLE ")) {
      family = Family::Subpicture;
      number = integerAttribute(line, "streamNumber");
    } else {
      continue;
    }
    if (number < 1 || number > kMaxStreamNumber) continue;
    bool& mark = marks.of(family)[number - 1];
    if (mark) continue;
    mark = true;

    const int attr = integerAttribute(line, "mediaAttr");
    PlaylistStream stream{{family, number - 1}, {}, family != Family::Video || number == 1};
    switch (family) {
      case Family::Video:
        stream.label =
            PlaylistTables::entry(tables.videoAttr, attr) + ".stream." + std::to_string(number - 1);
        break;
      case Family::Audio:
        stream.label = PlaylistTables::entry(tables.audioAttr, attr) + ".stream." +
                       twoDigits(number - 1) + "." + attributeValue(line, "description");
        break;
      case Family::Subpicture:
        stream.label = PlaylistTables::entry(tables.subAttr, attr) + ".stream." +
                       twoDigits(number - 1) + "." + attributeValue(line, "description");
        break;
    }
    const int root = family == Family::Video ? 1 : family == Family::Audio ? 2 : 3;
    roots[root].children.push_back({stream.label, {}});
    result.streams.push_back(std::move(stream));
  }
  return result;
}

}  // namespace korvell
