// mkvmerge's output as the mux step reads it: any bytes, cut into pieces anywhere, from a fake
// mkvmerge that ends with any status. Every console message is well-formed markup, the
// status panel only ever shows "Muxing <0..100>%", and the line splitter loses no byte but
// the line ends.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_host.h"
#include "mux/gui_mode.h"
#include "mux/mkvmerge_run.h"
#include "testing/fake_process.h"
#include "testing/memory_file_system.h"

using namespace korvell;

namespace {

// The step's host: the markup checks of QuietHost, and the texts of status panel 1.
class StatusCheckingHost final : public testing::NullHost {
 public:
  void log(std::string_view message) override { quiet.log(message); }
  void status(std::string_view text, int panel) override {
    if (panel != 1) return;
    if (!text.starts_with("Muxing ") || !text.ends_with("%")) std::abort();
    const std::string number(text.substr(7, text.size() - 8));
    if (number.empty() || number.size() > 3) std::abort();
    for (const char c : number) {
      if (c < '0' || c > '9') std::abort();
    }
    if (std::stoi(number) > 100) std::abort();
  }
  fuzz::QuietHost quiet;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // Byte 0: how the fake ends (exit 0..3, or a signal); byte 1: the piece length, 1..64.
  const uint8_t ending = data[0];
  const size_t piece = 1 + data[1] % 64;
  const std::string_view output(reinterpret_cast<const char*>(data + 2), size - 2);

  testing::FakeLauncher launcher;
  for (size_t at = 0; at < output.size(); at += piece) {
    launcher.script.chunks.emplace_back(output.substr(at, piece));
  }
  launcher.script.exit =
      ending < 128 ? ExitStatus::exited(ending % 4) : ExitStatus::signalled(ending % 32);
  testing::MemoryFileSystem files;
  launcher.onRead = [&](int read) {
    if (read == 1) files.add("/out/F.mkv", {1});
  };
  StopToken stop;
  StatusCheckingHost host;
  MuxDescription description;
  description.outputPath = "/out/F.mkv";
  description.tracks = {{Family::Audio, "/tmp/a.ac3", "en", "", true, 0}};
  muxWithMkvmerge(stop, host, launcher, files, description, "/tmp/options.json",
                  std::chrono::milliseconds{0});

  // The splitter keeps every byte but "\n" and "\r", in order, in lines of at most kMaxLine.
  MkvmergeLineSplitter splitter;
  std::string kept;
  const auto take = [&](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      if (line.empty() || line.size() > MkvmergeLineSplitter::kMaxLine) std::abort();
      const MkvmergeLine parsed = parseMkvmergeLine(line);
      if (parsed.percent < 0 || parsed.percent > 100) std::abort();
      kept += line;
    }
  };
  for (size_t at = 0; at < output.size(); at += piece)
    take(splitter.feed(output.substr(at, piece)));
  take(splitter.finish());
  std::string expected;
  for (const char c : output) {
    if (c != '\n' && c != '\r') expected += c;
  }
  if (kept != expected) std::abort();
  return 0;
}
