// Subpicture units from arbitrary bytes through the decoder and the PGS encoder, and the PGS
// read back: whatever a unit holds, what the encoder writes must be well formed and show
// exactly the decoded pixels and colours (cut to the frame). Then the same bytes go through
// the PGS output in pieces, as the walker would hand them over. Byte 0 chooses the video
// frame and the piece size; the rest is the unit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_host.h"
#include "outputs/pgs_encoder.h"
#include "outputs/pgs_output.h"
#include "outputs/subpicture_decoder.h"
#include "testing/memory_file_system.h"
#include "testing/pgs_reader.h"

using namespace korvell;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void checkEncoded(const SubpictureEvent& e, uint16_t width, uint16_t height) {
  PgsEncoder encoder(width, height);
  std::vector<uint8_t> out;
  const PgsEncodeResult result = encoder.encode(e, 1000, 2000, out);
  std::vector<testing::PgsShown> shown;
  std::string error;
  if (!testing::readPgs(out, &shown, &error)) {
    std::fprintf(stderr, "unreadable PGS: %s\n", error.c_str());
    std::abort();
  }
  if (result == PgsEncodeResult::Skipped) {
    check(out.empty());
    return;
  }
  check(shown.size() == 1);
  const testing::PgsShown& s = shown[0];
  check(s.start == 1000 && s.stop == 2000u && s.forced == e.forced);
  check(s.x == e.x && s.y == e.y && s.x + s.width <= width && s.y + s.height <= height);
  check((result == PgsEncodeResult::Cut) == (s.width != e.width || s.height != e.height));
  for (int r = 0; r < s.height; ++r) {
    for (int c = 0; c < s.width; ++c) {
      const uint8_t v = e.pixels[static_cast<size_t>(r) * e.width + c];
      check(s.pixels[static_cast<size_t>(r) * s.width + c] == v);
      check(v < e.palette.size());
      const SubpictureColour& want = e.palette[v];
      const testing::PgsColour& got = s.palette[v];
      check(got.y == want.y && got.cr == want.cr && got.cb == want.cb && got.alpha == want.alpha);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const std::span<const uint8_t> unit(data + 1, size - 1);
  const uint16_t width = choice & 1 ? 720 : 1920;
  const uint16_t height = choice & 1 ? 576 : 1080;
  YcrcbPalette palette{};
  for (uint32_t i = 0; i < 16; ++i)
    palette[i] = i * 0x0F0D0B;

  const DecodedSubpicture decoded = decodeSubpictureUnit(unit, 0x12345678, palette);
  for (const SubpictureEvent& e : decoded.events) {
    check(e.pixels.size() == static_cast<size_t>(e.width) * e.height);
    check(e.palette.size() == (e.eightBit ? 256u : 4u));
    checkEncoded(e, width, height);
  }

  // The output: pieces of (choice >> 1) + 1 bytes, a PTS on the first of each 2,048 bytes.
  testing::MemoryFileSystem files;
  fuzz::QuietHost host;
  std::unique_ptr<StreamOutput> output;
  check(makePgsOutput(files, host, {"f.sup", width, height, palette, 1000}, &output).ok());
  const size_t pieceSize = (choice >> 1) + 1u;
  for (size_t at = 0; at < unit.size(); at += pieceSize) {
    PieceContext context{.packetStart = at % 2048 == 0, .id = 0x20};
    if (context.packetStart) context.pts = static_cast<uint32_t>(at * 90);
    check(output->piece(unit.data() + at, std::min(pieceSize, unit.size() - at), context).ok());
  }
  check(output->finish().ok());
  std::vector<testing::PgsShown> shown;
  std::string error;
  if (!testing::readPgs(*files.file("f.sup"), &shown, &error)) {
    std::fprintf(stderr, "unreadable PGS from the output: %s\n", error.c_str());
    std::abort();
  }
  for (size_t i = 1; i < shown.size(); ++i)
    check(shown[i].start >= *shown[i - 1].stop);
  return 0;
}
