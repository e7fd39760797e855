// Each analyser over an arbitrary window of a guarded read block. The heap block is exactly
// guard + block + guard long, so AddressSanitizer reports any read past what an analyser may
// look at: the 64 bytes before the block (the previous block's tail, fuzzed) and the 64 zero
// bytes after it.
//
// Input: byte 0 picks the analyser, bytes 1-2 the window's start inside the block, byte 3
// how many block bytes follow the window, bytes 4-7 a PTS; then 64 tail bytes and the window.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/ac3.h"
#include "analysis/dts.h"
#include "analysis/h264.h"
#include "analysis/lpcm.h"
#include "analysis/mlp.h"
#include "analysis/mpeg2.h"
#include "analysis/subpicture.h"
#include "analysis/vc1.h"
#include "engine/read_buffer.h"
#include "fuzz/fuzz_host.h"

using namespace korvell;

namespace {

constexpr size_t kGuard = ReadBuffer::kGuard;
constexpr size_t kHeader = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader + kGuard) return 0;
  const uint8_t pick = data[0];
  const size_t start = (static_cast<size_t>(data[1]) << 8 | data[2]) % 4096;
  const size_t after = data[3];
  uint32_t pts = 0;
  std::memcpy(&pts, data + 4, sizeof pts);
  const uint8_t* tail = data + kHeader;
  const uint8_t* window = tail + kGuard;
  const size_t length = size - kHeader - kGuard;

  // [tail guard][start bytes before the window][window][after bytes][zero guard]
  const size_t blockSize = start + length + after;
  std::vector<uint8_t> storage(kGuard + blockSize + kGuard, 0);
  std::memcpy(storage.data(), tail, kGuard);
  for (size_t i = 0; i < start; ++i)
    storage[kGuard + i] = static_cast<uint8_t>(i * 7);
  if (length > 0) std::memcpy(storage.data() + kGuard + start, window, length);
  for (size_t i = 0; i < after; ++i)
    storage[kGuard + start + length + i] = 0xFF;

  const AnalyserWindow w{storage.data() + kGuard, start, length};
  fuzz::QuietHost host;
  AnalyserOutput out{host, (pick & 0x80) != 0 ? ',' : '.'};
#if KORVELL_FUZZ_VIDEO
  double frameRate = -1;
  switch (pick % 3) {
    case 0:
      analyseMpeg2(w, pts, frameRate, out);
      break;
    case 1:
      analyseVc1(w, frameRate, out);
      break;
    default:
      analyseH264(w, frameRate, out);
      break;
  }
#else
  switch (pick % 5) {
    case 0:
      analyseAc3(w, (pick >> 3) & 15, out);
      break;
    case 1:
      analyseDts(w, out);
      break;
    case 2:
      analyseLpcm(w, out);
      break;
    case 3:
      analyseMlp(w, out);
      break;
    default:
      analyseSubpicture(w, out);
      break;
  }
#endif
  return 0;
}
