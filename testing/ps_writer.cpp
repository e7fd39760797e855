#include "testing/ps_writer.h"

#include <algorithm>
#include <cstdint>

#include "engine/stream_kinds.h"

namespace korvell::testing {

int substreamHeaderSize(uint8_t id) {
  // DVD-Video and HD DVD headers; an id no kind knows gets the four bytes of AC-3.
  const StreamKindInfo* kind = findKind(IdSpace::Substream, id);
  return kind != nullptr && kind->headerBytes > 0 ? kind->headerBytes : 4;
}

size_t pesHeaderSize(const PesFields& f) {
  size_t size = 3;
  if (f.pts) size += f.dts ? 10 : 5;
  if (f.streamIdExtension || f.pstdBuffer) size += 1 + (f.pstdBuffer ? 2 : 0);
  if (f.streamIdExtension) size += 2;
  return size + static_cast<size_t>(f.stuffing);
}

PsWriter& PsWriter::packHeader(uint64_t scr, int stuffing) {
  // '01' SCR[32..30] 1 SCR[29..15] 1 SCR[14..0] 1, SCR extension 0, mux rate, stuffing length.
  const uint64_t s = scr;
  const uint8_t header[14] = {0x00,
                              0x00,
                              0x01,
                              0xBA,
                              static_cast<uint8_t>(0x44 | ((s >> 27) & 0x38) | ((s >> 28) & 0x03)),
                              static_cast<uint8_t>(s >> 20),
                              static_cast<uint8_t>(0x04 | ((s >> 12) & 0xF8) | ((s >> 13) & 0x03)),
                              static_cast<uint8_t>(s >> 5),
                              static_cast<uint8_t>(0x04 | ((s << 3) & 0xF8)),
                              0x01,
                              0x89,
                              0xC3,
                              0xF8,
                              static_cast<uint8_t>(0xF8 | stuffing)};
  bytes_.insert(bytes_.end(), header, header + 14);
  bytes_.insert(bytes_.end(), static_cast<size_t>(stuffing), 0xFF);
  return *this;
}

PsWriter& PsWriter::systemHeader(int videoBound, int audioBound) {
  const uint8_t header[18] = {0x00,
                              0x00,
                              0x01,
                              0xBB,
                              0x00,
                              0x0C,  // header length 12
                              0x80,
                              0xC4,
                              0xE1,                                   // rate bound
                              static_cast<uint8_t>(audioBound << 2),  // audio bound, flags
                              static_cast<uint8_t>(0xE0 | videoBound),
                              0xFF,  // reserved
                              0xE0,
                              0xE0,
                              0xE8,  // video stream bound
                              0xBD,
                              0xE0,
                              0x3A};  // private stream 1 bound
  bytes_.insert(bytes_.end(), header, header + 18);
  return *this;
}

void PsWriter::stamp(uint8_t prefix, uint32_t v) {
  bytes_.push_back(static_cast<uint8_t>((prefix << 4) | ((v >> 29) & 0x06) | 0x01));
  bytes_.push_back(static_cast<uint8_t>(v >> 22));
  bytes_.push_back(static_cast<uint8_t>(((v >> 14) & 0xFE) | 0x01));
  bytes_.push_back(static_cast<uint8_t>(v >> 7));
  bytes_.push_back(static_cast<uint8_t>(((v << 1) & 0xFE) | 0x01));
}

PsWriter& PsWriter::pes(uint8_t streamId, std::span<const uint8_t> payload, const PesFields& f) {
  const size_t header = pesHeaderSize(f);
  const size_t length = header + payload.size();
  bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, streamId, static_cast<uint8_t>(length >> 8),
                               static_cast<uint8_t>(length)});
  const bool extension = f.streamIdExtension.has_value() || f.pstdBuffer;
  uint8_t flags2 = extension ? 0x01 : 0x00;
  if (f.pts) flags2 = static_cast<uint8_t>(flags2 | (f.dts ? 0xC0 : 0x80));
  bytes_.push_back(0x81);  // '10', original
  bytes_.push_back(flags2);
  bytes_.push_back(static_cast<uint8_t>(header - 3));
  if (f.pts) {
    stamp(f.dts ? 0x3 : 0x2, *f.pts);
    if (f.dts) stamp(0x1, *f.dts);
  }
  if (extension) {
    bytes_.push_back(
        static_cast<uint8_t>(0x0E | (f.pstdBuffer ? 0x10 : 0) | (f.streamIdExtension ? 0x01 : 0)));
    if (f.pstdBuffer) bytes_.insert(bytes_.end(), {0x60, 0xE8});
    if (f.streamIdExtension) {
      bytes_.push_back(0x81);  // marker and field length 1
      bytes_.push_back(*f.streamIdExtension);
    }
  }
  bytes_.insert(bytes_.end(), static_cast<size_t>(f.stuffing), 0xFF);
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  return *this;
}

PsWriter& PsWriter::pesWithLength(uint8_t streamId, uint16_t lengthField,
                                  std::span<const uint8_t> rest) {
  bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, streamId, static_cast<uint8_t>(lengthField >> 8),
                               static_cast<uint8_t>(lengthField)});
  bytes_.insert(bytes_.end(), rest.begin(), rest.end());
  return *this;
}

PsWriter& PsWriter::privateStream1(uint8_t id, std::span<const uint8_t> payload,
                                   const PesFields& fields) {
  std::vector<uint8_t> body;
  body.reserve(payload.size() + 7);
  body.push_back(id);
  const int headerSize = substreamHeaderSize(id);
  if (headerSize == 4) {
    body.insert(body.end(), {0x01, 0x00, 0x01});  // frame count, first access unit pointer
  } else if (headerSize == 5) {
    body.insert(body.end(), {0x01, 0x00, 0x05, 0x00});
  } else if (headerSize == 7) {
    // Frames, pointer, emphasis/mute/frame number, quantization/frequency/channels, range.
    body.insert(body.end(), {0x01, 0x00, 0x04, 0x00, 0x01, 0x80});
  }
  body.insert(body.end(), payload.begin(), payload.end());
  return pes(0xBD, body, fields);
}

PsWriter& PsWriter::dvdLpcm(uint8_t id, uint8_t format, std::span<const uint8_t> payload,
                            const PesFields& fields) {
  // Id, frame headers, first access unit pointer, emphasis/mute/frame number, the format byte,
  // dynamic range (0x80: none).
  std::vector<uint8_t> body = {id, 0x01, 0x00, 0x04, 0x00, format, 0x80};
  body.insert(body.end(), payload.begin(), payload.end());
  return pes(0xBD, body, fields);
}

PsWriter& PsWriter::aobLpcm(uint8_t id, const AobLpcmHeader& h, std::span<const uint8_t> payload,
                            const PesFields& fields) {
  std::vector<uint8_t> body = {id,   0x00,          0x00,    0x08, 0x00,         0x0A,
                               0x10, h.wordLengths, h.rates, 0x00, h.assignment, 0x80};
  body.insert(body.end(), payload.begin(), payload.end());
  return pes(0xBD, body, fields);
}

std::vector<uint8_t> aobLpcmPayload(const AobGroupSamples& group1, const AobGroupSamples* group2,
                                    int ratio) {
  std::vector<uint8_t> out;
  // Two periods of one group, starting at period `first`.
  const auto putPair = [&out](const AobGroupSamples& g, size_t first) {
    const auto begin = g.samples.begin() + static_cast<std::ptrdiff_t>(first) * g.channels;
    const std::vector<int32_t> pair(begin, begin + 2 * g.channels);
    for (int32_t s : pair) {
      out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s) >> 24));
      out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s) >> 16));
    }
    for (size_t i = 0; i < pair.size(); ++i) {
      const auto bits = static_cast<uint32_t>(pair[i]);
      if (g.bits == 24) out.push_back(static_cast<uint8_t>(bits >> 8));
      if (g.bits == 20 && i % 2 == 0) out.push_back(static_cast<uint8_t>(bits >> 8 & 0xF0));
      if (g.bits == 20 && i % 2 == 1) out.back() |= static_cast<uint8_t>(bits >> 12 & 0x0F);
    }
  };
  const auto periods = [](const AobGroupSamples& g) { return g.samples.size() / g.channels; };
  const size_t units = std::min(periods(group1) / (2 * static_cast<size_t>(ratio)),
                                group2 != nullptr ? periods(*group2) / 2 : SIZE_MAX);
  for (size_t u = 0; u < units; ++u) {
    if (group2 != nullptr) putPair(*group2, 2 * u);
    for (int r = 0; r < ratio; ++r)
      putPair(group1, 2 * (u * static_cast<size_t>(ratio) + static_cast<size_t>(r)));
  }
  return out;
}

PsWriter& PsWriter::padding(size_t total) {
  const size_t length = total - 6;
  bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, 0xBE, static_cast<uint8_t>(length >> 8),
                               static_cast<uint8_t>(length)});
  bytes_.insert(bytes_.end(), length, 0xFF);
  return *this;
}

PsWriter& PsWriter::navigationPacket(uint16_t vobNumber, uint32_t firstPtm, uint32_t lastPtm) {
  std::vector<uint8_t> data(53, 0);
  data[0] = 0x01;  // substream: data search information
  const auto put32 = [&data](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      data[1 + at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  data[1 + 24] = static_cast<uint8_t>(vobNumber >> 8);
  data[1 + 25] = static_cast<uint8_t>(vobNumber);
  put32(44, firstPtm);
  put32(48, lastPtm);
  bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, 0xBF, 0x00, static_cast<uint8_t>(data.size())});
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

PsWriter& PsWriter::raw(std::span<const uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

PsWriter& PsWriter::fillPack() {
  const size_t missing = (2048 - bytes_.size() % 2048) % 2048;
  if (missing >= 6) {
    padding(missing);
  } else {
    bytes_.insert(bytes_.end(), missing, 0x00);
  }
  return *this;
}

}  // namespace korvell::testing
