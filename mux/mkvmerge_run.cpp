#include "mux/mkvmerge_run.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "engine/byte_io.h"
#include "mux/gui_mode.h"
#include "report/display_text.h"
#include "report/markup.h"

namespace korvell {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kPlainLinesKept = 10;

// Text mkvmerge printed, fit for a console message.
std::string consoleText(std::string_view text) {
  return escapeMarkup(displayUtf8(text));
}

bool writeOptionFile(FileSystem& files, const std::string& path, const std::string& text,
                     Console& console) {
  std::unique_ptr<ByteSink> sink;
  const Status created = files.create(path, &sink);
  if (!created.ok()) {
    console.logError("Cannot create file \"" + consoleText(path) + "\". " +
                     consoleText(created.reason()));
    return false;
  }
  console.log("Creating " + consoleText(path));
  sink->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (const Status closed = sink->close(); !closed.ok()) {
    console.logError("Cannot write file \"" + consoleText(path) + "\". " +
                     consoleText(closed.reason()));
    return false;
  }
  return true;
}

// mkvmerge's output on its way to the console and the status panel.
class OutputWatch {
 public:
  explicit OutputWatch(RunHost& host) : console_(host) {}

  void feed(std::string_view bytes) {
    for (const std::string& line : splitter_.feed(bytes))
      handle(line);
  }
  void finish() {
    for (const std::string& line : splitter_.finish())
      handle(line);
  }
  /// After a cancel nothing more reaches the console.
  void silence() { silent_ = true; }

  bool progressSeen() const { return lastPercent_ >= 0; }
  bool errorSeen() const { return errorSeen_; }
  const std::deque<std::string>& plainLines() const { return plain_; }

 private:
  void handle(const std::string& text) {
    if (silent_) return;
    const MkvmergeLine line = parseMkvmergeLine(text);
    switch (line.kind) {
      case MkvmergeLine::Kind::Progress:
        if (line.percent != lastPercent_) {
          lastPercent_ = line.percent;
          console_.status("Muxing " + std::to_string(line.percent) + "%", 1);
          console_.progress(line.percent, std::nullopt);
        }
        break;
      case MkvmergeLine::Kind::Warning:
        console_.log("mkvmerge warning: " + consoleText(line.text));
        break;
      case MkvmergeLine::Kind::Error:
        errorSeen_ = true;
        console_.logError("mkvmerge error: " + consoleText(line.text));
        break;
      case MkvmergeLine::Kind::Gui:
        break;
      case MkvmergeLine::Kind::Plain:
        plain_.push_back(line.text);
        if (plain_.size() > kPlainLinesKept) plain_.pop_front();
        break;
    }
  }

  RunHost& console_;
  MkvmergeLineSplitter splitter_;
  int lastPercent_ = -1;
  bool errorSeen_ = false;
  bool silent_ = false;
  std::deque<std::string> plain_;
};

// After SIGTERM: up to `grace` for mkvmerge to end, its output drained (a full pipe must not
// hold it up) and the host's events processed; then SIGKILL.
void stopProcess(Process& process, RunHost& host, OutputWatch& watch, milliseconds grace) {
  process.terminate();
  const auto deadline = Clock::now() + grace;
  std::string output;
  while (Clock::now() < deadline) {
    output.clear();
    process.readOutput(&output, milliseconds{0});
    watch.feed(output);
    if (process.wait(kMkvmergePoll)) return;
    host.processEvents();
  }
  process.kill();
  while (!process.wait(kMkvmergePoll))
    host.processEvents();
}

// What mkvmerge printed before it ended and the loop has not read yet.
void drainOutput(Process& process, OutputWatch& watch) {
  std::string chunk;
  for (;;) {
    chunk.clear();
    const bool more = process.readOutput(&chunk, milliseconds{0});
    watch.feed(chunk);
    if (!more || chunk.empty()) break;
  }
}

std::string endMessage(const ExitStatus& status) {
  switch (status.kind) {
    case ExitStatus::Kind::Exited:
      return "mkvmerge failed with exit code " + std::to_string(status.code) + ".";
    case ExitStatus::Kind::Signalled:
      return "mkvmerge was ended by signal " + std::to_string(status.code) + ".";
    case ExitStatus::Kind::Lost:
      break;
  }
  return "mkvmerge ended, but its exit status was lost.";
}

void removeOutput(FileSystem& files, const std::string& path, Console& console) {
  if (!files.isFile(path)) return;
  console.log("Removing " + consoleText(path));
  if (const Status removed = files.remove(path); !removed.ok()) {
    console.logError("Cannot remove file \"" + consoleText(path) + "\". " +
                     consoleText(removed.reason()));
  }
}

}  // namespace

MuxOutcome muxWithMkvmerge(StopToken& stop, RunHost& host, Launcher& launcher, FileSystem& files,
                           const MuxDescription& description, const std::string& optionsPath,
                           milliseconds grace) {
  stop.clear();
  const std::optional<std::string> program = launcher.findProgram("mkvmerge");
  if (!program) {
    host.logError("mkvmerge was not found; install MKVToolNix");
    return MuxOutcome::NotFound;
  }
  std::string options;
  if (const Status made = mkvmergeOptionFile(description, &options); !made.ok()) {
    host.logError(consoleText(made.reason()));
    return MuxOutcome::Failed;
  }
  if (!writeOptionFile(files, optionsPath, options, host)) return MuxOutcome::Failed;

  const std::string& output = description.outputPath;
  const bool outputExisted = files.isFile(output);
  host.log("Muxing " + consoleText(output));
  host.status("Muxing " + std::filesystem::path(output).filename().string(), 0);
  host.status("Muxing 0%", 1);
  std::unique_ptr<Process> process;
  if (const Status started =
          launcher.start({*program, "@" + optionsPath}, {"LC_ALL=C.UTF-8"}, &process);
      !started.ok()) {
    host.logError("Cannot start mkvmerge. " + consoleText(started.reason()));
    return MuxOutcome::Failed;
  }

  host.setCancelEnabled(true);
  OutputWatch watch(host);
  std::optional<ExitStatus> status;
  bool cancelled = false;
  std::string chunk;
  while (!status) {
    chunk.clear();
    const bool open = process->readOutput(&chunk, kMkvmergePoll);
    watch.feed(chunk);
    host.processEvents();
    if (stop.requested()) {
      // A stop that comes after mkvmerge has ended stops nothing: its file is complete.
      if ((status = process->wait(milliseconds{0}))) {
        drainOutput(*process, watch);
        host.log("mkvmerge had finished before the stop: its file is kept.");
        break;
      }
      cancelled = true;
      watch.silence();
      stopProcess(*process, host, watch, grace);
      break;
    }
    if (!open) {
      status = process->wait(kMkvmergePoll);  // the output has ended: so does mkvmerge
      continue;
    }
    // Ended while something it started keeps the pipe open: take what is there.
    if ((status = process->wait(milliseconds{0}))) drainOutput(*process, watch);
  }
  watch.finish();
  process.reset();
  host.setCancelEnabled(false);

  const bool madeOutput = !outputExisted || watch.progressSeen();
  if (cancelled) {
    if (madeOutput) removeOutput(files, output, host);
    return MuxOutcome::Cancelled;
  }
  if (status->kind == ExitStatus::Kind::Exited && status->code == 0) return MuxOutcome::Done;
  if (status->kind == ExitStatus::Kind::Exited && status->code == 1) {
    host.log("mkvmerge finished with warnings.");
    return MuxOutcome::DoneWithWarnings;
  }
  if (!watch.errorSeen()) {
    for (const std::string& line : watch.plainLines())
      host.logError("mkvmerge: " + consoleText(line));
  }
  host.logError(endMessage(*status));
  if (madeOutput) removeOutput(files, output, host);
  return MuxOutcome::Failed;
}

}  // namespace korvell
