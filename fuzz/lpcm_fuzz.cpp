// LPCM packets with arbitrary headers and payload, cut into pieces anywhere, for the decoder on
// its own and for the PCM output over files in memory (WAV or FLAC, with or without room left).
//
// Input: one byte of settings (bit 0: DVD-Audio headers; bit 1: FLAC; bits 2-3: room on the
// disk: none, 300 bytes, 64 KiB, no limit; bit 4: the decoder puts both DVD-Audio groups in
// one output), then packets: a byte whose low bits give the header length (DVD-Video: bits
// 0-1, DVD-Audio: bits 0-3), the header bytes, two bytes whose low 12 bits give the payload
// length, a byte of piece length (0: the payload in one piece), the payload.
// testdata/make_lpcm_fuzz_seeds.py writes the seed corpus in this form.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "fuzz/fuzz_host.h"
#include "outputs/lpcm_decoder.h"
#include "outputs/pcm_output.h"
#include "testing/memory_file_system.h"

using namespace korvell;

namespace {

// What any decoder must keep to: whole sample periods out, less than a unit waiting, a unit
// that fits the decoder's carry buffer, and the same samples as integers and as WAV bytes.
void checkDecoder(LpcmDecoder& decoder, const uint8_t* data, size_t size) {
  LpcmDecoder twin = decoder;
  std::vector<int32_t> samples[LpcmDecoder::kMaxOutputs];
  WavBytes wav[LpcmDecoder::kMaxOutputs];
  decoder.decode(data, size, samples);
  twin.decodeWav(data, size, wav);
  if (decoder.unitSize() == 0 || decoder.unitSize() > 256) std::abort();
  if (decoder.pending() >= decoder.unitSize()) std::abort();
  for (int o = 0; o < decoder.outputs(); ++o) {
    const PcmFormat& format = decoder.output(o);
    if (format.channels < 1 || format.channels > 8) std::abort();
    if (samples[o].size() % static_cast<size_t>(format.channels) != 0) std::abort();
    const size_t width = decoder.wavBytes(o);
    if (wav[o].size() != samples[o].size() * width) std::abort();
    for (size_t i = 0; i < samples[o].size(); ++i) {
      const auto s = static_cast<uint32_t>(samples[o][i]);
      if ((s & ((1u << (32 - format.bits)) - 1)) != 0) std::abort();
      for (size_t b = 0; b < width; ++b) {
        if (wav[o][i * width + b] != static_cast<uint8_t>(s >> (32 - 8 * (width - b))))
          std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t settings = data[0];
  const bool audioObject = (settings & 1) != 0;
  constexpr uint64_t kRoom[4] = {0, 300, 65536, 0};
  testing::MemoryFileSystem files;
  if (((settings >> 2) & 3) != 3) files.limitSpace("/out/", kRoom[(settings >> 2) & 3]);
  fuzz::QuietHost console;
  auto output = makePcmOutput(files, console,
                              {"/out/[s]", (settings & 2) != 0 ? PcmForm::Flac : PcmForm::Wav,
                               "/out/[s].lpcm", audioObject});
  std::optional<LpcmDecoder> decoder;
  size_t at = 1;
  while (at < size) {
    const size_t wanted = data[at] & (audioObject ? 0x0F : 0x03);
    ++at;
    const size_t headerLength = std::min(wanted, size - at);
    const std::span<const uint8_t> header(data + at, headerLength);
    at += headerLength;
    if (size - at < 3) break;
    const size_t length = std::min<size_t>((data[at] << 8 | data[at + 1]) & 0x0FFF, size - at - 3);
    const size_t piece = data[at + 2];
    at += 3;
    if (audioObject) {
      if (AobLpcmFormat format; aobLpcmFormat(header, &format).ok()) {
        decoder.emplace(format, settings & 0x10);
      }
    } else if (PcmFormat format; dvdLpcmFormat(header, &format).ok()) {
      decoder.emplace(format);
    }
    if (decoder) checkDecoder(*decoder, data + at, length);
    for (size_t done = 0; done < length;) {
      const size_t n = piece == 0 ? length - done : std::min(piece, length - done);
      PieceContext context{.packetStart = done == 0, .id = 0xA0};
      if (done == 0) context.privateHeader = header;
      const Status written = output->piece(data + at + done, n, context);
      if (!written.ok() && written != output->status()) std::abort();
      done += n;
    }
    at += length;
  }
  const Status finished = output->finish();
  if (finished != output->status()) std::abort();
  if (!finished.ok() && output->failedPath().empty()) std::abort();
  for (const OutputFile& file : output->files()) {
    if (files.file(file.path) == nullptr) std::abort();
  }
  output.reset();
  if (files.openFiles() != 0) std::abort();
  return 0;
}
