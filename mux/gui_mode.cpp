#include "mux/gui_mode.h"

#include <algorithm>
#include <optional>

namespace korvell {

namespace {

std::string_view withoutLeadingBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  return text;
}

// "45%" (1 to 3 digits, then '%' and nothing but blanks) as 0..100.
std::optional<int> percentOf(std::string_view text) {
  text = withoutLeadingBlanks(text);
  size_t digits = 0;
  int value = 0;
  // A fourth digit already makes the line malformed: stop there, before the value can overflow.
  while (digits < text.size() && digits <= 3 && text[digits] >= '0' && text[digits] <= '9') {
    value = value * 10 + (text[digits] - '0');
    ++digits;
  }
  if (digits == 0 || digits > 3 || digits >= text.size() || text[digits] != '%') return {};
  if (!withoutLeadingBlanks(text.substr(digits + 1)).empty()) return {};
  return std::min(value, 100);
}

}  // namespace

MkvmergeLine parseMkvmergeLine(std::string_view line) {
  constexpr std::string_view kGui = "#GUI#";
  const auto message = [](MkvmergeLine::Kind kind, std::string_view text) {
    return MkvmergeLine{kind, 0, std::string(withoutLeadingBlanks(text))};
  };
  if (line.starts_with(kGui)) {
    const std::string_view rest = line.substr(kGui.size());
    if (rest.starts_with("progress")) {
      if (const auto percent = percentOf(rest.substr(8))) {
        return {MkvmergeLine::Kind::Progress, *percent, {}};
      }
      return {MkvmergeLine::Kind::Gui, 0, std::string(rest)};
    }
    if (rest.starts_with("warning ") || rest == "warning") {
      return message(MkvmergeLine::Kind::Warning, rest.substr(7));
    }
    if (rest.starts_with("error ") || rest == "error") {
      return message(MkvmergeLine::Kind::Error, rest.substr(5));
    }
    return {MkvmergeLine::Kind::Gui, 0, std::string(rest)};
  }
  if (line.starts_with("Warning:")) return message(MkvmergeLine::Kind::Warning, line.substr(8));
  if (line.starts_with("Error:")) return message(MkvmergeLine::Kind::Error, line.substr(6));
  if (line.starts_with("Progress:")) {
    if (const auto percent = percentOf(line.substr(9))) {
      return {MkvmergeLine::Kind::Progress, *percent, {}};
    }
  }
  return {MkvmergeLine::Kind::Plain, 0, std::string(line)};
}

std::vector<std::string> MkvmergeLineSplitter::feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (const char c : bytes) {
    if (c == '\n' || c == '\r') {
      if (!pending_.empty()) lines.push_back(std::move(pending_));
      pending_.clear();
      continue;
    }
    pending_.push_back(c);
    if (pending_.size() == kMaxLine) {
      lines.push_back(std::move(pending_));
      pending_.clear();
    }
  }
  return lines;
}

std::vector<std::string> MkvmergeLineSplitter::finish() {
  std::vector<std::string> lines;
  if (!pending_.empty()) lines.push_back(std::move(pending_));
  pending_.clear();
  return lines;
}

}  // namespace korvell
