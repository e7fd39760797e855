#include "outputs/subpicture_decoder.h"

#include <algorithm>

#include "engine/big_endian.h"
#include "outputs/subpicture_units.h"

namespace korvell {

namespace {

constexpr size_t kDvdHeaderSize = 4;   // size, first sequence offset
constexpr size_t kHdHeaderSize = 10;   // 0x0000, size, first sequence offset
constexpr uint32_t kDelayUnit = 1024;  // a sequence's delay counts 1,024 ticks of 90 kHz
constexpr size_t kHdPaletteSize = 256 * 3;
constexpr size_t kHdContrastSize = 256;
// Damaged units can chain many sequences; real ones have two or three.
constexpr int kMaxSequences = 64;
constexpr size_t kMaxEvents = 16;
// ... and could ask for 16 pictures of 4,096 x 4,096 pixels from a few bytes.
constexpr size_t kMaxUnitPixels = 4096 * 4096;

enum Command : uint8_t {
  kForcedStart = 0x00,
  kStart = 0x01,
  kStop = 0x02,
  kColours = 0x03,
  kContrast = 0x04,
  kArea = 0x05,
  kFieldOffsets = 0x06,
  kColourContrastChanges = 0x07,
  kHdPalette = 0x83,
  kHdContrast = 0x84,
  kHdArea = 0x85,
  kHdFieldOffsets = 0x86,
  kEnd = 0xFF,
};

// MSB-first bits over a span; reading past its end gives zeros and sets `past`.
class Bits {
 public:
  Bits(std::span<const uint8_t> data, size_t byte) : data_(data), bit_(byte * 8) {}
  uint32_t read(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
      const size_t byte = bit_ >> 3;
      uint32_t b = 0;
      if (byte < data_.size()) {
        b = (data_[byte] >> (7 - (bit_ & 7))) & 1u;
      } else {
        past_ = true;
      }
      value = value << 1 | b;
      ++bit_;
    }
    return value;
  }
  void alignToByte() { bit_ = (bit_ + 7) & ~size_t{7}; }
  bool past() const { return past_; }

 private:
  std::span<const uint8_t> data_;
  size_t bit_;
  bool past_ = false;
};

constexpr uint32_t kRestOfLine = UINT32_MAX;

struct Run {
  uint32_t length;
  uint8_t colour;
};

Run readRun2(Bits& bits) {
  // Leading zero nibbles tell the code's length: 1 to 4 nibbles.
  uint32_t v = bits.read(4);
  if (v < 0x4) {
    v = v << 4 | bits.read(4);
    if (v < 0x10) {
      v = v << 4 | bits.read(4);
      if (v < 0x40) v = v << 4 | bits.read(4);
    }
  }
  const uint8_t colour = static_cast<uint8_t>(v & 3);
  return {v < 4 ? kRestOfLine : v >> 2, colour};
}

Run readRun8(Bits& bits) {
  const bool run = bits.read(1) != 0;
  const bool wideColour = bits.read(1) != 0;
  const uint8_t colour = static_cast<uint8_t>(bits.read(wideColour ? 8 : 2));
  if (!run) return {1, colour};
  if (bits.read(1) == 0) return {bits.read(3) + 2, colour};
  const uint32_t length = bits.read(7);
  return {length == 0 ? kRestOfLine : length + 9, colour};
}

// Decodes the rows first, first + 2, ... of one field into `pixels`. A run past the line's
// width is cut at it, and the next line starts at the next byte as usual.
uint32_t decodeField(std::span<const uint8_t> unit, uint32_t offset, bool eightBit, int width,
                     int height, int firstRow, std::vector<uint8_t>& pixels) {
  uint32_t faults = kFaultNone;
  Bits bits(unit, offset);
  for (int row = firstRow; row < height; row += 2) {
    uint8_t* line = pixels.data() + static_cast<size_t>(row) * width;
    int x = 0;
    while (x < width) {
      const Run run = eightBit ? readRun8(bits) : readRun2(bits);
      if (bits.past()) return faults | kFaultShortPixels;
      const auto room = static_cast<uint32_t>(width - x);
      uint32_t length = run.length;
      if (length > room) {
        if (length != kRestOfLine) faults |= kFaultLineOverrun;
        length = room;
      }
      std::fill_n(line + x, length, run.colour);
      x += static_cast<int>(length);
    }
    bits.alignToByte();
  }
  return faults;
}

// What the commands of a unit have set so far.
struct DisplayState {
  std::array<uint8_t, 4> colours{0, 1, 2, 3};
  std::array<uint8_t, 4> contrast{15, 15, 15, 15};
  const uint8_t* hdPalette = nullptr;
  const uint8_t* hdContrast = nullptr;
  bool hasArea = false;
  bool eightBit = false;
  int x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  std::optional<uint32_t> topField, bottomField;
};

// Builds the event that a display start shows; false (with the fault) when it cannot show.
bool buildEvent(std::span<const uint8_t> unit, const DisplayState& s, const YcrcbPalette& palette,
                SubpictureEvent& event, uint32_t& faults) {
  const int width = s.x2 - s.x1 + 1;
  const int height = s.y2 - s.y1 + 1;
  if (!s.hasArea || !s.topField || !s.bottomField || width <= 0 || height <= 0 ||
      (s.eightBit && s.hdPalette == nullptr)) {
    faults |= kFaultNoArea;
    return false;
  }
  if (*s.topField >= unit.size() || *s.bottomField >= unit.size()) {
    faults |= kFaultBadOffset;
    return false;
  }
  event.eightBit = s.eightBit;
  event.x = static_cast<uint16_t>(s.x1);
  event.y = static_cast<uint16_t>(s.y1);
  event.width = static_cast<uint16_t>(width);
  event.height = static_cast<uint16_t>(height);
  event.pixels.assign(static_cast<size_t>(width) * height, 0);
  faults |= decodeField(unit, *s.topField, s.eightBit, width, height, 0, event.pixels);
  faults |= decodeField(unit, *s.bottomField, s.eightBit, width, height, 1, event.pixels);
  if (s.eightBit) {
    event.palette.resize(256);
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t* ycc = s.hdPalette + i * 3;
      const uint8_t transparency = s.hdContrast ? s.hdContrast[i] : 0;
      event.palette[i] = {ycc[0], ycc[1], ycc[2], static_cast<uint8_t>(255 - transparency)};
    }
  } else {
    event.palette.resize(4);
    for (size_t i = 0; i < 4; ++i) {
      const uint32_t entry = palette[s.colours[i] & 15];
      event.palette[i] = {static_cast<uint8_t>(entry >> 16), static_cast<uint8_t>(entry >> 8),
                          static_cast<uint8_t>(entry), static_cast<uint8_t>(s.contrast[i] * 17)};
    }
  }
  return true;
}

// What one display control sequence's commands said; the attributes go into `state`.
struct Commands {
  bool start = false, forced = false, stop = false, changed = false;
};

Commands readCommands(std::span<const uint8_t> unit, size_t pos, DisplayState& state,
                      uint32_t& faults) {
  Commands c;
  bool ended = false;
  while (pos < unit.size() && !ended) {
    const uint8_t command = unit[pos++];
    const size_t left = unit.size() - pos;
    auto need = [&](size_t n) {
      if (left >= n) return true;
      faults |= kFaultBadCommand;
      ended = true;
      return false;
    };
    switch (command) {
      case kForcedStart:
        c.start = c.forced = true;
        break;
      case kStart:
        c.start = true;
        break;
      case kStop:
        c.stop = true;
        break;
      case kColours:
      case kContrast:
        if (!need(2)) break;
        {
          auto& target = command == kColours ? state.colours : state.contrast;
          target = {static_cast<uint8_t>(unit[pos + 1] & 15),
                    static_cast<uint8_t>(unit[pos + 1] >> 4), static_cast<uint8_t>(unit[pos] & 15),
                    static_cast<uint8_t>(unit[pos] >> 4)};
        }
        pos += 2;
        c.changed = true;
        break;
      case kArea:
      case kHdArea:
        if (!need(6)) break;
        state.x1 = unit[pos] << 4 | unit[pos + 1] >> 4;
        state.x2 = (unit[pos + 1] & 15) << 8 | unit[pos + 2];
        state.y1 = unit[pos + 3] << 4 | unit[pos + 4] >> 4;
        state.y2 = (unit[pos + 4] & 15) << 8 | unit[pos + 5];
        state.hasArea = true;
        state.eightBit = command == kHdArea;
        pos += 6;
        c.changed = true;
        break;
      case kFieldOffsets:
        if (!need(4)) break;
        state.topField = be16(unit.data() + pos);
        state.bottomField = be16(unit.data() + pos + 2);
        pos += 4;
        c.changed = true;
        break;
      case kHdFieldOffsets:
        if (!need(8)) break;
        state.topField = be32(unit.data() + pos);
        state.bottomField = be32(unit.data() + pos + 4);
        pos += 8;
        c.changed = true;
        break;
      case kColourContrastChanges:
        // Changes within the area over time; its length counts its own two bytes.
        if (!need(2)) break;
        if (const size_t length = be16(unit.data() + pos); length >= 2 && length <= left) {
          pos += length;
        } else {
          faults |= kFaultBadCommand;
          ended = true;
        }
        break;
      case kHdPalette:
        if (!need(kHdPaletteSize)) break;
        state.hdPalette = unit.data() + pos;
        pos += kHdPaletteSize;
        c.changed = true;
        break;
      case kHdContrast:
        if (!need(kHdContrastSize)) break;
        state.hdContrast = unit.data() + pos;
        pos += kHdContrastSize;
        c.changed = true;
        break;
      case kEnd:
        ended = true;
        break;
      default:
        faults |= kFaultBadCommand;
        ended = true;
        break;
    }
  }
  if (!ended) faults |= kFaultBadCommand;  // the commands ran to the unit's end
  return c;
}

}  // namespace

DecodedSubpicture decodeSubpictureUnit(std::span<const uint8_t> unit, uint32_t pts,
                                       const YcrcbPalette& palette) {
  DecodedSubpicture out;
  const bool hd = unitForm(unit) == UnitForm::Extended;
  const size_t headerSize = hd ? kHdHeaderSize : kDvdHeaderSize;
  const size_t offsetSize = hd ? 4 : 2;
  if (unit.size() < headerSize) {
    out.faults |= kFaultTruncated;
    return out;
  }
  const size_t size = hd ? be32(unit.data() + 2) : be16(unit.data());
  if (size > unit.size()) {
    out.faults |= kFaultTruncated;
    return out;
  }
  unit = unit.first(size);
  size_t sequence = hd ? be32(unit.data() + 6) : be16(unit.data() + 2);

  DisplayState state;
  std::optional<size_t> open;  // the index of the event that shows now
  bool showing = false;        // a start was seen (even one whose event could not be built)
  bool forcedShowing = false;  // and it was a forced start
  size_t pixels = 0;           // in the events so far
  for (int count = 0; count < kMaxSequences; ++count) {
    if (sequence < headerSize || sequence + 2 + offsetSize > unit.size()) {
      out.faults |= kFaultBadOffset;
      break;
    }
    const uint8_t* p = unit.data() + sequence;
    const uint32_t time = pts + be16(p) * kDelayUnit;
    const size_t next = hd ? be32(p + 2) : be16(p + 2);
    const Commands c = readCommands(unit, sequence + 2 + offsetSize, state, out.faults);
    const bool start = c.start, stop = c.stop, changed = c.changed;

    if (open && (stop || start || changed)) {
      out.events[*open].stopPts = time;
      open.reset();
    }
    if (stop && !start) showing = false;
    // A change while the picture shows begins a new event with what now shows.
    if ((start || (changed && showing)) && out.events.size() < kMaxEvents) {
      SubpictureEvent event;
      event.startPts = time;
      if (start) forcedShowing = c.forced;
      event.forced = forcedShowing;
      const size_t area = state.hasArea
                              ? static_cast<size_t>(std::max(state.x2 - state.x1 + 1, 0)) *
                                    static_cast<size_t>(std::max(state.y2 - state.y1 + 1, 0))
                              : 0;
      if (pixels + area > kMaxUnitPixels) {
        out.faults |= kFaultTooLarge;
      } else if (buildEvent(unit, state, palette, event, out.faults)) {
        pixels += area;
        out.events.push_back(std::move(event));
        open = out.events.size() - 1;
      }
      showing = true;
    }
    if (next == sequence) break;
    if (next < sequence) {
      // A chain that runs backwards would loop.
      out.faults |= kFaultBadOffset;
      break;
    }
    sequence = next;
  }
  if (open) out.faults |= kFaultNoStop;
  return out;
}

}  // namespace korvell
