#include "outputs/pgs_encoder.h"

#include <algorithm>

namespace korvell {

namespace {

enum SegmentType : uint8_t {
  kPalette = 0x14,
  kObject = 0x15,
  kComposition = 0x16,
  kWindow = 0x17,
  kEndOfSet = 0x80,
};

constexpr size_t kMaxSegment = 0xFFFF;
constexpr size_t kFirstObjectHeader = 11;  // id, version, flags, data length, width, height
constexpr size_t kNextObjectHeader = 4;    // id, version, flags
constexpr size_t kMaxObjectData = 0xFFFFFF;
constexpr uint8_t kFrameRate = 0x10;
constexpr uint8_t kEpochStart = 0x80;
constexpr uint8_t kNormal = 0x00;
constexpr uint8_t kForcedObject = 0x40;
constexpr uint8_t kFirstInSequence = 0x80;
constexpr uint8_t kLastInSequence = 0x40;
constexpr uint32_t kMaxRun = 0x3FFF;

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put24(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 16));
  put16(out, v);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v >> 16);
  put16(out, v);
}

// Appends a segment header; the caller appends exactly `length` bytes after it.
void segment(std::vector<uint8_t>& out, uint32_t pts, SegmentType type, size_t length) {
  out.push_back('P');
  out.push_back('G');
  put32(out, pts);
  put32(out, 0);  // DTS: decoding is not scheduled
  out.push_back(type);
  put16(out, static_cast<uint32_t>(length));
}

void window(std::vector<uint8_t>& out, uint32_t pts, uint16_t x, uint16_t y, uint16_t w,
            uint16_t h) {
  segment(out, pts, kWindow, 10);
  out.push_back(1);
  out.push_back(0);  // window id
  put16(out, x);
  put16(out, y);
  put16(out, w);
  put16(out, h);
}

void putRun(std::vector<uint8_t>& out, uint32_t length, uint8_t colour) {
  while (length > 0) {
    const uint32_t n = std::min(length, kMaxRun);
    length -= n;
    if (colour != 0 && n <= 2) {
      out.insert(out.end(), n, colour);
    } else {
      out.push_back(0);
      const uint8_t colourFlag = colour != 0 ? 0x80 : 0x00;
      if (n < 64) {
        out.push_back(static_cast<uint8_t>(colourFlag | n));
      } else {
        out.push_back(static_cast<uint8_t>(colourFlag | 0x40 | n >> 8));
        out.push_back(static_cast<uint8_t>(n));
      }
      if (colour != 0) out.push_back(colour);
    }
  }
}

}  // namespace

std::vector<uint8_t> encodePgsRle(const uint8_t* pixels, int width, int height) {
  std::vector<uint8_t> out;
  for (int row = 0; row < height; ++row) {
    const uint8_t* line = pixels + static_cast<size_t>(row) * width;
    int x = 0;
    while (x < width) {
      int end = x + 1;
      while (end < width && line[end] == line[x])
        ++end;
      putRun(out, static_cast<uint32_t>(end - x), line[x]);
      x = end;
    }
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

PgsEncodeResult PgsEncoder::encode(const SubpictureEvent& event, uint32_t start,
                                   std::optional<uint32_t> stop, std::vector<uint8_t>& out) {
  if (event.width == 0 || event.height == 0 || event.x >= width_ || event.y >= height_ ||
      event.pixels.size() != static_cast<size_t>(event.width) * event.height) {
    return PgsEncodeResult::Skipped;
  }
  const auto w = static_cast<uint16_t>(std::min<int>(event.width, width_ - event.x));
  const auto h = static_cast<uint16_t>(std::min<int>(event.height, height_ - event.y));
  const bool cut = w != event.width || h != event.height;
  std::vector<uint8_t> rle;
  if (cut) {
    std::vector<uint8_t> kept;
    kept.reserve(static_cast<size_t>(w) * h);
    for (int row = 0; row < h; ++row) {
      const auto* line = event.pixels.data() + static_cast<size_t>(row) * event.width;
      kept.insert(kept.end(), line, line + w);
    }
    rle = encodePgsRle(kept.data(), w, h);
  } else {
    rle = encodePgsRle(event.pixels.data(), w, h);
  }
  if (rle.size() + 4 > kMaxObjectData) return PgsEncodeResult::Skipped;

  // The display set that shows the object: a new epoch, so nothing of an earlier one stays.
  segment(out, start, kComposition, 19);
  put16(out, width_);
  put16(out, height_);
  out.push_back(kFrameRate);
  put16(out, composition_++);
  out.push_back(kEpochStart);
  out.push_back(0);  // palette update flag
  out.push_back(0);  // palette id
  out.push_back(1);  // one object
  put16(out, 0);     // object id
  out.push_back(0);  // window id
  out.push_back(event.forced ? kForcedObject : 0);
  put16(out, event.x);
  put16(out, event.y);
  window(out, start, event.x, event.y, w, h);

  segment(out, start, kPalette, 2 + event.palette.size() * 5);
  out.push_back(0);  // palette id
  out.push_back(0);  // version
  for (size_t i = 0; i < event.palette.size(); ++i) {
    const SubpictureColour& c = event.palette[i];
    out.insert(out.end(), {static_cast<uint8_t>(i), c.y, c.cr, c.cb, c.alpha});
  }

  size_t done = 0;
  bool first = true;
  while (first || done < rle.size()) {
    const size_t header = first ? kFirstObjectHeader : kNextObjectHeader;
    const size_t n = std::min(rle.size() - done, kMaxSegment - header);
    const bool last = done + n == rle.size();
    segment(out, start, kObject, header + n);
    put16(out, 0);     // object id
    out.push_back(0);  // version
    out.push_back(
        static_cast<uint8_t>((first ? kFirstInSequence : 0) | (last ? kLastInSequence : 0)));
    if (first) {
      put24(out, static_cast<uint32_t>(rle.size() + 4));
      put16(out, w);
      put16(out, h);
    }
    out.insert(out.end(), rle.begin() + static_cast<ptrdiff_t>(done),
               rle.begin() + static_cast<ptrdiff_t>(done + n));
    done += n;
    first = false;
  }
  segment(out, start, kEndOfSet, 0);
  if (!stop) return cut ? PgsEncodeResult::Cut : PgsEncodeResult::Written;

  // The display set that clears it: the same window, no object.
  segment(out, *stop, kComposition, 11);
  put16(out, width_);
  put16(out, height_);
  out.push_back(kFrameRate);
  put16(out, composition_++);
  out.push_back(kNormal);
  out.push_back(0);
  out.push_back(0);
  out.push_back(0);  // no object
  window(out, *stop, event.x, event.y, w, h);
  segment(out, *stop, kEndOfSet, 0);
  return cut ? PgsEncodeResult::Cut : PgsEncodeResult::Written;
}

}  // namespace korvell
