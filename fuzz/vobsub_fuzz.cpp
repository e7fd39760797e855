// Subpicture pieces with random cuts and random PTS through the unit assembler and the VobSub
// output over the memory file system. Input: a 10-byte head (flags: video start given, palette
// given, a full disk, the stream number; the video start PTS, the earliest PTS and the disk's
// size in KiB), then pieces, each a byte (bit 0 packet start, bit 1 a PTS follows as 4 bytes,
// bits 2..7 the length: 0..55 bytes, or 64 << (n - 56)) and its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_host.h"
#include "outputs/subpicture_units.h"
#include "outputs/vobsub_output.h"
#include "testing/memory_file_system.h"

using namespace korvell;

namespace {

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A broken invariant names its line before the abort: the target is built with optimisation,
// where the stack trace shows only the function.
void check(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "vobsub_fuzz.cpp:%d: check failed\n", line);
  std::abort();
}

// The packs a unit of `size` bytes takes: 2,019 bytes in the first, 2,024 in each later one.
size_t packsOf(size_t size) {
  return size <= 2019 ? 1 : 1 + (size - 2019 + 2023) / 2024;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHead = 10;
  if (size < kHead) return 0;
  const uint8_t flags = data[0];
  const bool fault = (flags & 4) != 0;
  VobSubRequest request;
  request.path = "out/title [1]";  // a '[' that every message must escape
  request.supPath = "out/title [1].sup";
  request.streamNumber = flags >> 3;
  request.language = (flags & 8) != 0 ? "fr" : "";
  if ((flags & 1) != 0) request.videoStartPts = le32(data + 1);
  request.firstPtsMin = le32(data + 5);
  if ((flags & 2) != 0) {
    YcrcbPalette palette;
    for (size_t i = 0; i < palette.size(); ++i)
      palette[i] = le32(data + 1) * static_cast<uint32_t>(i + 1);
    request.palette = palette;
  }
  testing::MemoryFileSystem files;
  if (fault) files.limitSpace("out/", uint64_t{data[9]} * 1024);
  fuzz::QuietHost host;
  host.keepShown = true;
  std::unique_ptr<StreamOutput> output = makeVobSubOutput(files, host, request);

  // The same pieces through an assembler of our own: what the output must have written.
  SubpictureUnitAssembler reference;
  std::vector<SubpictureUnit> units;
  std::optional<UnitForm> streamForm;
  size_t at = kHead;
  while (at < size) {
    const uint8_t head = data[at++];
    PieceContext context;
    context.packetStart = (head & 1) != 0;
    context.id = static_cast<uint8_t>(0x20 + request.streamNumber);
    if ((head & 2) != 0) {
      if (size - at < 4) break;
      if (context.packetStart) context.pts = le32(data + at);
      at += 4;
    }
    const size_t n = head >> 2;
    const size_t wanted = n <= 55 ? n : size_t{64} << (n - 56);
    const size_t length = std::min(wanted, size - at);
    const Status status = output->piece(data + at, length, context);
    check(status == output->status());
    check(fault || status.ok());
    const size_t before = units.size();
    reference.piece(data + at, length, context, units);
    for (size_t i = before; i < units.size(); ++i) {
      check(units[i].bytes.size() == unitSize(units[i].bytes).value_or(0));
      check(units[i].form == unitForm(units[i].bytes));
    }
    if (!streamForm)
      streamForm = !units.empty() ? std::optional(units.front().form) : reference.openForm();
    at += length;
  }
  reference.finish();
  const Status finished = output->finish();
  check(finished == output->status());
  // A "Creating" line for each file, and at most two more: what was skipped, what was moved.
  const auto creating =
      std::count_if(host.shown.begin(), host.shown.end(),
                    [](const std::string& s) { return s.starts_with("Creating "); });
  check(creating <= 2 && host.lines - static_cast<size_t>(creating) <= 2);
  if (fault) {
    check(finished.ok() || finished.code() == Status::Code::WriteFailed);
    if (!finished.ok()) check(output->failedPath().starts_with("out/title [1]"));
    return 0;
  }
  check(finished.ok());

  if (streamForm == UnitForm::Extended) {
    check(files.file("out/title [1].sup") != nullptr);
    check(files.file("out/title [1].idx") == nullptr);
    return 0;
  }
  // VobSub: one timestamp line per 2-bit unit, at the position its packs start.
  const std::vector<uint8_t>* idx = files.file("out/title [1].idx");
  const std::vector<uint8_t>* sub = files.file("out/title [1].sub");
  check(idx != nullptr && sub != nullptr);
  const std::string text(idx->begin(), idx->end());
  check(text.starts_with("# VobSub index file, v7"));
  size_t position = 0;
  size_t search = 0;
  for (const SubpictureUnit& unit : units) {
    if (unit.form != UnitForm::TwoBit) continue;
    const size_t line = text.find("timestamp: ", search);
    check(line != std::string::npos);
    const size_t filepos = text.find("filepos: ", line);
    check(filepos != std::string::npos);
    check(std::stoull(text.substr(filepos + 9, 9), nullptr, 16) == position);
    check(sub->size() >= position + 4 && (*sub)[position + 3] == 0xBA);
    position += packsOf(unit.bytes.size()) * kVobSubPack;
    search = filepos;
  }
  check(text.find("timestamp: ", search + 1) == std::string::npos);
  check(sub->size() == position);
  return 0;
}
