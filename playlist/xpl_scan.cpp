#include "playlist/xpl_scan.h"

#include <algorithm>

#include "playlist/xpl_attribute.h"

namespace korvell {

const std::string& PlaylistTables::entry(const std::array<std::string, kAttrItems + 1>& table,
                                         int index) {
  static const std::string kNone;
  return index >= 1 && index <= kAttrItems ? table[index] : kNone;
}

void XplScanner::feed(std::span<const uint8_t> bytes) {
  for (const uint8_t x : bytes)
    scanByte(x);
}

void XplScanner::feed(std::string_view bytes) {
  for (const char c : bytes)
    scanByte(static_cast<uint8_t>(c));
}

void XplScanner::scanByte(uint8_t x) {
  const auto before = static_cast<uint8_t>(prev_ & 0xFF);
  if (x == '<') {
    inTag_ = true;
    ++depth_;
  }
  if (inTag_ && line_.size() < kMaxTagLine) {
    if (x >= 0x20) {
      line_.push_back(static_cast<char>(x));
    } else if (line_.empty() || line_.back() != ' ') {
      line_.push_back(' ');
    }
  }
  if (x == '/' && before == '<') {
    // A closing tag sits one level out from its content: drop one indentation step. Only
    // blanks are dropped, so a closing tag at depth 0 keeps its "</".
    depth_ -= 2;
    const size_t blanks = std::min<size_t>(2, line_.find_first_not_of(' '));
    line_.erase(0, blanks);
  }
  if (x == '>' && inTag_) endTag();
  prev_ = (prev_ << 8) | x;
}

void XplScanner::endTag() {
  inTag_ = false;
  lines_.push_back(line_);
  const std::string& tag = lines_.back();
  if (tag.find("Playlist") != std::string::npos) {
    std::string name = attributeValue(tag, "displayName");
    if (!name.empty()) tables_.title = std::move(name);
  }
  if (tag.find("VideoAttributeItem") != std::string::npos) {
    const int index = integerAttribute(tag, "index");
    if (index >= 1 && index <= kAttrItems) tables_.videoAttr[index] = attributeValue(tag, "codec");
  }
  if (tag.find("AudioAttributeItem") != std::string::npos) {
    const int index = integerAttribute(tag, "index");
    if (index >= 1 && index <= kAttrItems) {
      std::string codec = attributeValue(tag, "codec");
      const std::string channels = attributeValue(tag, "channels");
      if (!channels.empty()) codec += "." + channels + "ch";
      tables_.audioAttr[index] = std::move(codec);
    }
  }
  if (tag.find("SubpictureAttributeItem") != std::string::npos) {
    const int index = integerAttribute(tag, "index");
    if (index >= 1 && index <= kAttrItems) tables_.subAttr[index] = attributeValue(tag, "codec");
  }

  const auto last = static_cast<uint8_t>(prev_ & 0xFF);
  const auto secondLast = static_cast<uint8_t>((prev_ >> 8) & 0xFF);
  if (last == '/') --depth_;                       // <Item ... />
  if (last == '?') --depth_;                       // <?xml ... ?>
  if (last == '-' && secondLast == '-') --depth_;  // <!-- ... -->
  line_.clear();
  if (depth_ > 0) line_.assign(2 * static_cast<size_t>(std::min(depth_, kMaxIndentLevels)), ' ');
}

PlaylistScan scanPlaylist(std::string_view bytes, PlaylistTables tables) {
  XplScanner scanner(std::move(tables));
  scanner.feed(bytes);
  return {std::move(scanner.lines()), std::move(scanner.tables())};
}

}  // namespace korvell
