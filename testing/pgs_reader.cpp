#include "testing/pgs_reader.h"

namespace korvell::testing {

namespace {

uint32_t be16(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] << 8 | p[1]);
}
uint32_t be24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
}
uint32_t be32(const uint8_t* p) {
  return be16(p) << 16 | be16(p + 2);
}

bool decodeRle(std::span<const uint8_t> rle, int width, int height, std::vector<uint8_t>* pixels,
               std::string* error) {
  pixels->assign(static_cast<size_t>(width) * height, 0);
  size_t i = 0;
  for (int row = 0; row < height; ++row) {
    int x = 0;
    for (;;) {
      if (i >= rle.size()) {
        *error = "RLE ends in line " + std::to_string(row);
        return false;
      }
      uint8_t colour = rle[i++];
      uint32_t run = 1;
      if (colour == 0) {
        if (i >= rle.size()) {
          *error = "RLE ends inside a code";
          return false;
        }
        const uint8_t flags = rle[i++];
        run = flags & 0x3F;
        if (flags & 0x40) {
          if (i >= rle.size()) {
            *error = "RLE ends inside a code";
            return false;
          }
          run = run << 8 | rle[i++];
        }
        if (flags & 0x80) {
          if (i >= rle.size()) {
            *error = "RLE ends inside a code";
            return false;
          }
          colour = rle[i++];
        }
        if (flags == 0) break;  // end of line
        if (run == 0) {
          *error = "RLE run of no pixels";
          return false;
        }
      }
      if (x + run > static_cast<uint32_t>(width)) {
        *error = "RLE line " + std::to_string(row) + " runs past the width";
        return false;
      }
      std::fill_n(pixels->data() + static_cast<size_t>(row) * width + x, run, colour);
      x += static_cast<int>(run);
    }
    if (x != width) {
      *error = "RLE line " + std::to_string(row) + " has " + std::to_string(x) + " pixels";
      return false;
    }
  }
  if (i != rle.size()) {
    *error = "RLE has bytes after the last line";
    return false;
  }
  return true;
}

}  // namespace

bool readPgs(std::span<const uint8_t> bytes, std::vector<PgsShown>* shown, std::string* error) {
  shown->clear();
  std::optional<uint32_t> lastComposition;
  size_t pos = 0;
  // The shown object a later set ends, or kNoneOpen (not an optional: GCC 12 at -O3 warns
  // that one may be read uninitialised).
  static constexpr size_t kNoneOpen = static_cast<size_t>(-1);
  size_t open = kNoneOpen;
  while (pos < bytes.size()) {
    // One display set: PCS first, END last.
    std::optional<uint32_t> setPts;
    PgsShown current;
    bool hasObject = false, hasPalette = false, hasWindow = false;
    int objectCount = 0;
    uint8_t forcedFlags = 0;
    std::vector<uint8_t> rle;
    std::optional<uint32_t> dataLength;
    bool objectDone = false;
    for (bool first = true;; first = false) {
      if (bytes.size() - pos < 13) {
        *error = "a segment header runs past the end at " + std::to_string(pos);
        return false;
      }
      const uint8_t* h = bytes.data() + pos;
      if (h[0] != 'P' || h[1] != 'G') {
        *error = "no \"PG\" at " + std::to_string(pos);
        return false;
      }
      const uint32_t pts = be32(h + 2);
      if (be32(h + 6) != 0) {
        *error = "a DTS that is not zero";
        return false;
      }
      const uint8_t type = h[10];
      const size_t length = be16(h + 11);
      pos += 13;
      if (bytes.size() - pos < length) {
        *error = "a segment runs past the end";
        return false;
      }
      const uint8_t* d = bytes.data() + pos;
      pos += length;
      if (setPts && *setPts != pts) {
        *error = "segments of one display set with different PTS";
        return false;
      }
      setPts = pts;
      if (first != (type == 0x16)) {
        *error = "a display set that does not begin with its composition";
        return false;
      }
      if (type == 0x16) {
        if (length < 11) {
          *error = "a short composition segment";
          return false;
        }
        current.videoWidth = static_cast<uint16_t>(be16(d));
        current.videoHeight = static_cast<uint16_t>(be16(d + 2));
        const uint32_t number = be16(d + 5);
        if (lastComposition && number != ((*lastComposition + 1) & 0xFFFF)) {
          *error = "composition numbers that do not count up";
          return false;
        }
        lastComposition = number;
        objectCount = d[10];
        if (objectCount > 1 || length != 11u + 8u * objectCount) {
          *error = "a composition segment of the wrong length or object count";
          return false;
        }
        if (objectCount == 1) {
          forcedFlags = d[14];
          current.x = static_cast<uint16_t>(be16(d + 15));
          current.y = static_cast<uint16_t>(be16(d + 17));
        }
      } else if (type == 0x17) {
        if (length != 10 || d[0] != 1) {
          *error = "a window segment that is not one window";
          return false;
        }
        hasWindow = true;
      } else if (type == 0x14) {
        if (length < 2 || (length - 2) % 5 != 0) {
          *error = "a palette segment of the wrong length";
          return false;
        }
        for (size_t i = 2; i < length; i += 5)
          current.palette[d[i]] = {d[i + 1], d[i + 2], d[i + 3], d[i + 4]};
        current.paletteEntries = (length - 2) / 5;
        hasPalette = true;
      } else if (type == 0x15) {
        if (length < 4 || objectDone) {
          *error = "an object segment out of place";
          return false;
        }
        const uint8_t flags = d[3];
        const bool firstPart = (flags & 0x80) != 0;
        if (firstPart != !dataLength.has_value()) {
          *error = "object segments whose first-in-sequence flags are wrong";
          return false;
        }
        size_t header = 4;
        if (firstPart) {
          if (length < 11) {
            *error = "a short object segment";
            return false;
          }
          dataLength = be24(d + 4);
          current.width = static_cast<uint16_t>(be16(d + 7));
          current.height = static_cast<uint16_t>(be16(d + 9));
          header = 11;
        }
        rle.insert(rle.end(), d + header, d + length);
        if (flags & 0x40) objectDone = true;
        hasObject = true;
      } else if (type == 0x80) {
        if (length != 0) {
          *error = "an END segment with data";
          return false;
        }
        break;
      } else {
        *error = "an unknown segment type";
        return false;
      }
    }
    if (!hasWindow) {
      *error = "a display set without a window";
      return false;
    }
    if (open != kNoneOpen) {
      (*shown)[open].stop = *setPts;
      open = kNoneOpen;
    }
    if (objectCount == 0) {
      if (hasObject || hasPalette) {
        *error = "a clearing display set with an object or palette";
        return false;
      }
      continue;
    }
    if (!hasObject || !hasPalette || !objectDone) {
      *error = "a display set without a whole object or its palette";
      return false;
    }
    if (*dataLength != rle.size() + 4) {
      *error = "an object data length that differs from its RLE";
      return false;
    }
    if (current.width == 0 || current.height == 0 ||
        current.x + current.width > current.videoWidth ||
        current.y + current.height > current.videoHeight) {
      *error = "an object outside the video frame";
      return false;
    }
    if (!decodeRle(rle, current.width, current.height, &current.pixels, error)) return false;
    current.start = *setPts;
    current.forced = (forcedFlags & 0x40) != 0;
    shown->push_back(std::move(current));
    open = shown->size() - 1;
  }
  return true;
}

}  // namespace korvell::testing
