#include "report/markup.h"

#include "report/ascii_text.h"

namespace korvell {

namespace {

constexpr uint32_t kBlue = 0x00FF0000;  // blue is the third byte of the colour word
constexpr uint32_t kRed = 0x000000FF;

TextStyle styleForTag(std::string_view name) {
  TextStyle style;
  if (name == "b") {
    style.bold = true;
  } else if (name == "i") {
    style.italic = true;
  } else if (name == "u") {
    style.underline = true;
  } else if (name == "s1") {
    style.pointSize = 10;
  } else if (name == "s2") {
    style.pointSize = 12;
  } else if (name.starts_with("c:")) {
    style.colour = parseColourValue(name.substr(2));
  } else if (name == "bl") {
    style.bold = true;
    style.colour = kBlue;
  } else if (name == "re") {
    style.bold = true;
    style.colour = kRed;
  }
  // Any other name: the reset style, which is the default.
  return style;
}

// The first "[" at or after `from` that opens a tag, skipping escaped "[[" pairs.
size_t findTagOpen(std::string_view message, size_t from) {
  for (size_t at = message.find('[', from); at != std::string_view::npos;
       at = message.find('[', at + 2)) {
    if (at + 1 >= message.size() || message[at + 1] != '[') return at;
  }
  return std::string_view::npos;
}

// The first `closing` tag at or after `from` that is not inside an escaped "[[".
size_t findClosing(std::string_view message, std::string_view closing, size_t from) {
  for (size_t at = findTagOpen(message, from); at != std::string_view::npos;
       at = findTagOpen(message, at + 1)) {
    if (message.substr(at, closing.size()) == closing) return at;
  }
  return std::string_view::npos;
}

void append(std::vector<StyledSegment>& out, std::string text, const TextStyle& style) {
  if (text.empty()) return;
  if (!out.empty() && out.back().style == style) {
    out.back().text += text;
  } else {
    out.push_back({std::move(text), style});
  }
}

bool knownTag(std::string_view name) {
  return name == "b" || name == "i" || name == "u" || name == "s1" || name == "s2" ||
         name == "bl" || name == "re" || name.starts_with("c:");
}

}  // namespace

std::string markupProblem(std::string_view message) {
  size_t pos = 0;
  for (size_t open = findTagOpen(message, pos); open != std::string_view::npos;
       open = findTagOpen(message, pos)) {
    const size_t nameEnd = message.find(']', open);
    if (nameEnd == std::string_view::npos) return "unclosed '[' at " + std::to_string(open);
    const std::string_view name = message.substr(open + 1, nameEnd - open - 1);
    if (name.starts_with('/')) return "stray closing tag [" + std::string(name) + "]";
    if (!knownTag(name)) return "unknown tag [" + std::string(name) + "]";
    const std::string closing = "[/" + std::string(name) + "]";
    const size_t closeAt = findClosing(message, closing, nameEnd + 1);
    if (closeAt == std::string_view::npos) return "tag [" + std::string(name) + "] not closed";
    if (const size_t inner = findTagOpen(message, nameEnd + 1); inner < closeAt) {
      return "a tag inside [" + std::string(name) + "]";
    }
    pos = closeAt + closing.size();
  }
  return {};
}

uint32_t parseColourValue(std::string_view hexText) {
  uint32_t value = 0;
  for (char c : hexText) {
    const char upper = asciiUpper(c);
    int digit = -1;
    if (upper >= '0' && upper <= '9') digit = upper - '0';
    if (upper >= 'A' && upper <= 'F') digit = upper - 'A' + 10;
    if (digit < 0) continue;
    value = (value << 4) + static_cast<uint32_t>(digit);
  }
  return value;
}

std::string escapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '[') out += '[';
    out += c;
  }
  return out;
}

std::string stripMarkup(std::string_view message) {
  std::string out;
  out.reserve(message.size());
  size_t pos = 0;
  while (pos < message.size()) {
    const size_t open = message.find('[', pos);
    if (open == std::string_view::npos) {
      out.append(message.substr(pos));
      break;
    }
    out.append(message.substr(pos, open - pos));
    if (open + 1 < message.size() && message[open + 1] == '[') {
      out += '[';
      pos = open + 2;
      continue;
    }
    const size_t close = message.find(']', open);
    if (close == std::string_view::npos) break;  // an unclosed tag hides the rest
    pos = close + 1;
  }
  return out;
}

std::vector<StyledSegment> parseMarkup(std::string_view message) {
  std::vector<StyledSegment> segments;
  const TextStyle plain;
  size_t pos = 0;
  while (pos < message.size()) {
    const size_t open = findTagOpen(message, pos);
    if (open == std::string_view::npos) {
      append(segments, stripMarkup(message.substr(pos)), plain);
      break;
    }
    append(segments, stripMarkup(message.substr(pos, open - pos)), plain);
    const size_t nameEnd = message.find(']', open);
    if (nameEnd == std::string_view::npos) break;
    const std::string_view name = message.substr(open + 1, nameEnd - open - 1);
    const std::string closing = "[/" + std::string(name) + "]";
    const size_t bodyStart = nameEnd + 1;
    const size_t closeAt = findClosing(message, closing, bodyStart);
    const size_t bodyEnd = closeAt == std::string_view::npos ? message.size() : closeAt;
    append(segments, stripMarkup(message.substr(bodyStart, bodyEnd - bodyStart)),
           styleForTag(name));
    if (closeAt == std::string_view::npos) break;
    pos = closeAt + closing.size();
  }
  return segments;
}

}  // namespace korvell
