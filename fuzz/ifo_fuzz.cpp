// The IFO reading over damaged IFO files: libdvdread parses them, the titles are built from
// what it returns, and the titles listing shows them. Nothing may crash, every title must lie
// within the VOB files, and every message must be one line of well-formed markup.
//
// Input: two bytes (big-endian) give the length of VIDEO_TS.IFO, which follows; the rest is
// VTS_01_0.IFO. The title set's VOB file is 512 sectors of zeros (no navigation packs, nothing
// scrambled). There are no backup files, so libdvdread reads what the input gives.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "disc/ifo.h"
#include "report/markup.h"
#include "runs/titles_run.h"

using namespace korvell;

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kVobSize = 512 * 2048;

class LineCheck final : public Console {
 public:
  void log(std::string_view message) override {
    if (message.find('\n') != std::string_view::npos || !markupProblem(message).empty()) {
      std::abort();
    }
  }
  void status(std::string_view, int) override {}
};

// A folder of its own for the run, removed when the fuzzer exits.
struct Scratch {
  fs::path path;
  Scratch() {
    char name[] = "/tmp/korvell_ifo_fuzz_XXXXXX";
    path = mkdtemp(name);
    fs::create_directory(path / "VIDEO_TS");
    std::ofstream(path / "VIDEO_TS" / "VTS_01_1.VOB", std::ios::binary)
        .write(std::string(kVobSize, '\0').data(), kVobSize);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const fs::path& folder() {
  static const Scratch scratch;
  return scratch.path;
}

void write(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

// libdvdread leaves a few small blocks behind on some of its failure paths; those are its own.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdvdread.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t vmgSize = std::min<size_t>(size_t{data[0]} << 8 | data[1], size - 2);
  write(folder() / "VIDEO_TS" / "VIDEO_TS.IFO", data + 2, vmgSize);
  write(folder() / "VIDEO_TS" / "VTS_01_0.IFO", data + 2 + vmgSize, size - 2 - vmgSize);

  const DvdDisc disc = readDvdTitles(folder().string(), realFileSystem());
  for (const Title& title : disc.titles) {
    if (title.extents.empty()) std::abort();
    for (const FileExtent& extent : title.extents) {
      if (extent.length == 0 || extent.offset + extent.length > kVobSize) std::abort();
    }
  }
  LineCheck console;
  titlesRun(folder().string(), console);
  return 0;
}
