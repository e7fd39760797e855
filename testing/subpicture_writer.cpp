#include "testing/subpicture_writer.h"

#include <algorithm>

#include "testing/ps_writer.h"

namespace korvell::testing {

namespace {

class BitWriter {
 public:
  void put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
      used_ = (used_ + 1) & 7;
    }
  }
  void align() { used_ = 0; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

// 2-bit RLE: 1..3 pixels in one nibble, up to 15 in two, 63 in three, 255 in four nibbles;
// the last run of a line, when longer than 3 pixels, as "rest of the line".
void putRun2(BitWriter& w, uint32_t length, uint8_t colour, bool lineEnd) {
  while (length > 0) {
    if (lineEnd && length > 3) {
      w.put(colour & 3u, 16);
      return;
    }
    const uint32_t n = std::min<uint32_t>(length, 255);
    length -= n;
    const uint32_t v = n << 2 | (colour & 3u);
    const int nibbles = n < 4 ? 1 : n < 16 ? 2 : n < 64 ? 3 : 4;
    w.put(v, nibbles * 4);
  }
}

// 8-bit RLE: one pixel, 2..9, 10..136, or (the last run of a line, when longer than 9
// pixels) the rest of the line.
void putRun8(BitWriter& w, uint32_t length, uint8_t colour, bool lineEnd) {
  auto putColour = [&] {
    if (colour < 4) {
      w.put(0, 1);
      w.put(colour, 2);
    } else {
      w.put(1, 1);
      w.put(colour, 8);
    }
  };
  while (length > 0) {
    if (lineEnd && length > 9) {
      w.put(1, 1);
      putColour();
      w.put(1, 1);
      w.put(0, 7);
      return;
    }
    const uint32_t n = std::min<uint32_t>(length, 136);
    length -= n;
    w.put(n == 1 ? 0 : 1, 1);
    putColour();
    if (n == 1) continue;
    if (n <= 9) {
      w.put(0, 1);
      w.put(n - 2, 3);
    } else {
      w.put(1, 1);
      w.put(n - 9, 7);
    }
  }
}

std::vector<uint8_t> field(const UnitPicture& p, int firstRow) {
  BitWriter w;
  for (int row = firstRow; row < p.height; row += 2) {
    const uint8_t* line = p.pixels.data() + static_cast<size_t>(row) * p.width;
    int x = 0;
    while (x < p.width) {
      int end = x + 1;
      while (end < p.width && line[end] == line[x])
        ++end;
      const auto n = static_cast<uint32_t>(end - x);
      if (p.eightBit) {
        putRun8(w, n, line[x], end == p.width);
      } else {
        putRun2(w, n, line[x], end == p.width);
      }
      x = end;
    }
    w.align();
  }
  return std::move(w.bytes());
}

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  put16(out, at, v >> 16);
  put16(out, at + 2, v);
}

void append16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void append32(std::vector<uint8_t>& out, uint32_t v) {
  append16(out, v >> 16);
  append16(out, v);
}

}  // namespace

std::vector<uint8_t> writeSubpictureUnit(const UnitPicture& p) {
  const bool hd = p.eightBit;
  std::vector<uint8_t> unit(hd ? 10 : 4, 0);
  const auto top = static_cast<uint32_t>(unit.size());
  const auto topBytes = field(p, 0);
  unit.insert(unit.end(), topBytes.begin(), topBytes.end());
  const auto bottom = static_cast<uint32_t>(unit.size());
  const auto bottomBytes = field(p, 1);
  unit.insert(unit.end(), bottomBytes.begin(), bottomBytes.end());
  if (unit.size() % 2) unit.push_back(0);

  const auto first = static_cast<uint32_t>(unit.size());
  // The start sequence: delay, next offset (filled below), commands.
  append16(unit, p.startDelay);
  const size_t nextAt = unit.size();
  unit.resize(unit.size() + (hd ? 4 : 2));
  unit.push_back(p.forced ? 0x00 : 0x01);
  const uint32_t x2 = p.x + p.width - 1u, y2 = p.y + p.height - 1u;
  const uint8_t area[6] = {static_cast<uint8_t>(p.x >> 4),
                           static_cast<uint8_t>((p.x & 15) << 4 | x2 >> 8),
                           static_cast<uint8_t>(x2),
                           static_cast<uint8_t>(p.y >> 4),
                           static_cast<uint8_t>((p.y & 15) << 4 | y2 >> 8),
                           static_cast<uint8_t>(y2)};
  if (hd) {
    unit.push_back(0x83);
    for (size_t i = 0; i < 256; ++i) {
      const auto ycc = i < p.ycc.size() ? p.ycc[i] : std::array<uint8_t, 3>{16, 128, 128};
      unit.insert(unit.end(), ycc.begin(), ycc.end());
    }
    unit.push_back(0x84);
    for (size_t i = 0; i < 256; ++i)
      unit.push_back(i < p.transparency.size() ? p.transparency[i] : 255);
    unit.push_back(0x85);
    unit.insert(unit.end(), area, area + 6);
    unit.push_back(0x86);
    append32(unit, top);
    append32(unit, bottom);
  } else {
    unit.push_back(0x03);
    unit.push_back(static_cast<uint8_t>(p.colours[3] << 4 | p.colours[2]));
    unit.push_back(static_cast<uint8_t>(p.colours[1] << 4 | p.colours[0]));
    unit.push_back(0x04);
    unit.push_back(static_cast<uint8_t>(p.contrast[3] << 4 | p.contrast[2]));
    unit.push_back(static_cast<uint8_t>(p.contrast[1] << 4 | p.contrast[0]));
    unit.push_back(0x05);
    unit.insert(unit.end(), area, area + 6);
    unit.push_back(0x06);
    append16(unit, top);
    append16(unit, bottom);
  }
  unit.push_back(0xFF);
  if (unit.size() % 2) unit.push_back(0xFF);

  auto second = static_cast<uint32_t>(unit.size());
  if (p.stopDelay) {
    append16(unit, *p.stopDelay);
    if (hd) {
      append32(unit, second);
    } else {
      append16(unit, second);
    }
    unit.push_back(0x02);
    unit.push_back(0xFF);
  } else {
    second = first;  // the start sequence is the last
  }
  if (hd) {
    put32(unit, nextAt, second);
    put32(unit, 2, static_cast<uint32_t>(unit.size()));
    put32(unit, 6, first);
  } else {
    put16(unit, nextAt, second);
    put16(unit, 0, static_cast<uint32_t>(unit.size()));
    put16(unit, 2, first);
  }
  return unit;
}

std::vector<SubpicturePacket> packetizeUnit(const std::vector<uint8_t>& unit, uint32_t pts,
                                            size_t maxPayload) {
  std::vector<SubpicturePacket> packets;
  for (size_t at = 0; at < unit.size(); at += maxPayload) {
    const size_t n = std::min(maxPayload, unit.size() - at);
    packets.push_back(
        {{unit.begin() + static_cast<ptrdiff_t>(at), unit.begin() + static_cast<ptrdiff_t>(at + n)},
         at == 0 ? std::optional<uint32_t>(pts) : std::nullopt});
  }
  return packets;
}

std::vector<uint8_t> subpictureProgramStream(const std::vector<SubpicturePacket>& packets,
                                             uint8_t id) {
  PsWriter ps;
  uint32_t clock = 0;
  for (const SubpicturePacket& packet : packets) {
    if (packet.pts) clock = *packet.pts - 9000;  // delivered a tenth of a second early
    ps.packHeader(clock);
    if (ps.size() == PsWriter::kPackHeaderSize) ps.systemHeader(0, 1);
    ps.privateStream1(id, packet.payload, {.pts = packet.pts});
    ps.fillPack();
    clock += 300;
  }
  return ps.take();
}

void fillVariedPalette(UnitPicture& picture) {
  picture.ycc.resize(256);
  picture.transparency.resize(256);
  for (size_t i = 0; i < 256; ++i) {
    picture.ycc[i] = {static_cast<uint8_t>(16 + (i * 7) % 220),
                      static_cast<uint8_t>(16 + (i * 13) % 224),
                      static_cast<uint8_t>(240 - (i * 29) % 224)};
    picture.transparency[i] = i == 0 ? 255 : static_cast<uint8_t>((i * 37) % 200);
  }
}

}  // namespace korvell::testing
