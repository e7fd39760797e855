#include "cli/terminal_host.h"

#include <atomic>
#include <csignal>

#include "report/markup.h"
#include "runs/run_support.h"

namespace korvell::cli {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
  gInterrupted.store(true);
  std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process
}

std::string ansiFor(const TextStyle& style) {
  std::string codes;
  const auto add = [&codes](const std::string& code) {
    codes += codes.empty() ? code : ";" + code;
  };
  if (style.bold) add("1");
  if (style.italic) add("3");
  if (style.underline) add("4");
  if (style.colour) {
    const uint32_t c = *style.colour;  // red in the lowest byte
    add("38;2;" + std::to_string(c & 0xFF) + ";" + std::to_string((c >> 8) & 0xFF) + ";" +
        std::to_string((c >> 16) & 0xFF));
  }
  return codes;
}

}  // namespace

std::string renderLine(std::string_view message, LineStyle style) {
  switch (style) {
    case LineStyle::Markup:
      return std::string(message);
    case LineStyle::Plain:
      return stripMarkup(message);
    case LineStyle::Ansi:
      break;
  }
  std::string out;
  for (const auto& segment : parseMarkup(message)) {
    const std::string codes = ansiFor(segment.style);
    if (codes.empty()) {
      out += segment.text;
    } else {
      out += "\033[" + codes + "m" + segment.text + "\033[0m";
    }
  }
  return out;
}

TerminalHost::TerminalHost(RunState& state, LineStyle style, bool progress)
    : state_(state), style_(style), errorStyle_(style), progress_(progress) {}

TerminalHost::~TerminalHost() {
  clearProgress();
}

void TerminalHost::installInterruptHandler() {
  std::signal(SIGINT, onInterrupt);
}

bool TerminalHost::interrupted() const {
  return gInterrupted.load();
}

void TerminalHost::log(std::string_view message) {
  if (keepLines_) {
    // The end line of a failed run says nothing of why: the line before it does.
    if (!message.empty() && message != kFailedLine) lastLine_ = stripMarkup(message);
    return;
  }
  // The progress line gives way to the message and comes back under it.
  const bool redraw = progressShown_;
  clearProgress();
  const std::string line = renderLine(message, style_);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (redraw) drawProgress();
}

void TerminalHost::logError(std::string_view message) {
  errorShown_ = true;
  const bool redraw = progressShown_;
  clearProgress();
  std::fflush(stdout);  // the lines before it first, where both go to one terminal
  const std::string line =
      keepLines_ ? "korvell-cli: " + stripMarkup(message) : renderLine(message, errorStyle_);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  if (redraw) drawProgress();
}

void TerminalHost::status(std::string_view text, int panel) {
  panels_[panel == 0 ? 0 : 1] = std::string(text);
  drawProgress();
}

void TerminalHost::processEvents() {
  if (gInterrupted.load() && !cancelRequested_) {
    cancelRequested_ = true;
    requestCancel(state_, *this);
  }
}

void TerminalHost::drawProgress() {
  if (!progress_) return;
  std::string line = panels_[0];
  if (!panels_[1].empty()) line += "  " + panels_[1];
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  progressShown_ = !line.empty();
}

void TerminalHost::clearProgress() {
  if (!progress_ || !progressShown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  progressShown_ = false;
}

}  // namespace korvell::cli
