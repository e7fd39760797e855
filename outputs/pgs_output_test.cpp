#include "outputs/pgs_output.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "testing/pgs_reader.h"
#include "testing/recording_host.h"
#include "testing/subpicture_writer.h"

namespace korvell {
namespace {

using testing::PgsShown;
using testing::SubpicturePacket;
using testing::UnitPicture;

constexpr uint32_t kVideoStart = 180000;
constexpr uint8_t kId = 0x21;

// A picture with transparent margins, bands of colours, long runs and a diagonal.
UnitPicture banded(bool eightBit, uint16_t x, uint16_t y, uint16_t w, uint16_t h, int seed) {
  UnitPicture p;
  p.eightBit = eightBit;
  p.x = x;
  p.y = y;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<size_t>(w) * h, 0);
  for (int r = 2; r + 2 < h; ++r) {
    for (int c = 4; c + 4 < w; ++c) {
      int v = eightBit ? (c / 9 + r / 5 + seed) % 255 + 1 : (c / 9 + r + seed) % 3 + 1;
      if (c > w / 3 && c < w / 2) v = r % 2;  // long runs
      p.pixels[static_cast<size_t>(r) * w + c] = static_cast<uint8_t>(v);
    }
    p.pixels[static_cast<size_t>(r) * w + (r + seed) % w] = eightBit ? 255 : 3;
  }
  if (eightBit) {
    testing::fillVariedPalette(p);
    p.ycc[seed % 200 + 1] = {235, 128, 128};
  } else {
    p.colours = {0, static_cast<uint8_t>(seed % 16), 8, 15};
    p.contrast = {0, 15, static_cast<uint8_t>(seed % 16), 8};
  }
  return p;
}

struct Stream {
  std::vector<UnitPicture> pictures;
  std::vector<uint32_t> pts;
  std::vector<SubpicturePacket> packets;
};

Stream stream(std::vector<UnitPicture> pictures, uint32_t firstPts, uint32_t spacing,
              size_t maxPayload) {
  Stream s;
  s.pictures = std::move(pictures);
  for (size_t i = 0; i < s.pictures.size(); ++i) {
    s.pts.push_back(firstPts + static_cast<uint32_t>(i) * spacing);
    const auto packets =
        testing::packetizeUnit(testing::writeSubpictureUnit(s.pictures[i]), s.pts[i], maxPayload);
    s.packets.insert(s.packets.end(), packets.begin(), packets.end());
  }
  return s;
}

// Feeds the packets as the walker would (a packet may come in two pieces) and reads the PGS.
std::vector<PgsShown> run(const Stream& s, const PgsRequest& request,
                          testing::RecordingHost& host) {
  testing::MemoryFileSystem files;
  std::unique_ptr<StreamOutput> output;
  EXPECT_TRUE(makePgsOutput(files, host, request, &output).ok());
  for (const SubpicturePacket& packet : s.packets) {
    const size_t half = packet.payload.size() / 2;
    PieceContext first{.packetStart = true, .pts = packet.pts, .id = kId};
    EXPECT_TRUE(output->piece(packet.payload.data(), half, first).ok());
    PieceContext rest{.id = kId};
    EXPECT_TRUE(
        output->piece(packet.payload.data() + half, packet.payload.size() - half, rest).ok());
  }
  EXPECT_TRUE(output->finish().ok());
  EXPECT_EQ(output->files(), (std::vector<OutputFile>{{request.path, FileForm::Pgs}}));
  const std::vector<uint8_t>* bytes = files.file(request.path);
  std::vector<PgsShown> shown;
  std::string error;
  if (bytes == nullptr) {
    ADD_FAILURE() << "no file";
    return shown;
  }
  EXPECT_TRUE(bytes->empty() || (*bytes)[0] == 'P');
  EXPECT_TRUE(testing::readPgs(*bytes, &shown, &error)) << error;
  return shown;
}

// Every pixel as the unit describes it (Y, Cr, Cb, alpha) against the PGS event's.
void expectSamePicture(const UnitPicture& p, const YcrcbPalette& palette, const PgsShown& s) {
  ASSERT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}),
            (std::array<int, 4>{p.x, p.y, p.width, p.height}));
  EXPECT_EQ(s.forced, p.forced);
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    const uint8_t v = p.pixels[i];
    testing::PgsColour want;
    if (p.eightBit) {
      want = {p.ycc[v][0], p.ycc[v][1], p.ycc[v][2], static_cast<uint8_t>(255 - p.transparency[v])};
    } else {
      const uint32_t e = palette[p.colours[v]];
      want = {static_cast<uint8_t>(e >> 16), static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e),
              static_cast<uint8_t>(p.contrast[v] * 17)};
    }
    ASSERT_EQ(s.palette[s.pixels[i]], want) << "pixel " << i;
  }
}

TEST(PgsOutput, WritesEveryUnitOfAStreamAsItShows) {
  YcrcbPalette ifo{};
  for (uint32_t i = 0; i < 16; ++i)
    ifo[i] = (20 + i * 13) << 16 | (100 + i * 3) << 8 | (150 - i * 4);
  struct Case {
    const char* name;
    bool eightBit;
    std::optional<YcrcbPalette> palette;
    uint16_t width, height;
  };
  const Case cases[] = {
      {"HD DVD 8-bit units", true, std::nullopt, 1920, 1080},
      {"DVD 2-bit units with the IFO's palette", false, ifo, 720, 576},
      {"DVD 2-bit units with the default palette", false, std::nullopt, 720, 576},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UnitPicture> pictures = {
        banded(c.eightBit, 100, c.height - 200, 600, 120, 1),
        banded(c.eightBit, 0, 0, 32, 3, 2),                        // tiny, odd height
        banded(c.eightBit, 8, 40, c.width - 16, 150, 3),           // many packets
        banded(c.eightBit, c.width - 50, c.height - 9, 50, 9, 4),  // at the corner
    };
    pictures[1].forced = true;
    pictures[2].startDelay = 20;
    pictures[2].stopDelay = 300;
    const Stream s = stream(pictures, kVideoStart + 45000, 450000, 2000);
    testing::RecordingHost host;
    const PgsRequest request{"out/x.sup", c.width, c.height, c.palette, kVideoStart};
    const std::vector<PgsShown> shown = run(s, request, host);
    EXPECT_TRUE(host.lines.empty()) << host.transcript();
    ASSERT_EQ(shown.size(), pictures.size());
    const YcrcbPalette palette = c.palette ? *c.palette : paletteToYcrcb(defaultPalette());
    for (size_t i = 0; i < shown.size(); ++i) {
      SCOPED_TRACE(i);
      const uint32_t start = s.pts[i] - kVideoStart + pictures[i].startDelay * 1024u;
      EXPECT_EQ(shown[i].start, start);
      EXPECT_EQ(shown[i].stop, s.pts[i] - kVideoStart + *pictures[i].stopDelay * 1024u);
      EXPECT_EQ(shown[i].videoWidth, c.width);
      expectSamePicture(pictures[i], palette, shown[i]);
    }
  }
}

TEST(PgsOutput, EndsEventsThatOverlapOrHaveNoStop) {
  std::vector<UnitPicture> pictures(3, banded(true, 10, 10, 40, 20, 5));
  pictures[0].stopDelay = 1000;   // past the next unit's start
  pictures[1].stopDelay.reset();  // ended by the next start
  pictures[2].stopDelay.reset();  // the last: shown for the fixed time
  const Stream s = stream(pictures, kVideoStart, 90000, 2000);
  testing::RecordingHost host;
  const std::vector<PgsShown> shown = run(s, {"x.sup", 1920, 1080, {}, kVideoStart}, host);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].stop, 90000u);
  EXPECT_EQ(shown[1].stop, 180000u);
  EXPECT_EQ(shown[2].stop, 180000u + kPgsNoStopDuration);
  // Units without a stop command are reported as cut, in one line.
  EXPECT_EQ(
      host.lines,
      (std::vector<std::string>{"Subpicture stream 0x21 as PGS: 2 cut; 3 written from 3 units."}));
}

TEST(PgsOutput, DamagedUnitsAreCountedInOneLine) {
  std::vector<UnitPicture> pictures(6, banded(false, 10, 10, 40, 20, 6));
  pictures[4].x = 700;  // runs past the 720-pixel frame: cut to it
  Stream s = stream(pictures, kVideoStart + 90000, 90000, 30);
  // Unit 1: its first sequence offset points past its end. Unit 3: cut off by the next
  // unit's packet (its last packet is lost). Unit 5 starts before the video does.
  auto find = [&](size_t unit) {
    size_t seen = 0;
    for (size_t i = 0; i < s.packets.size(); ++i) {
      if (s.packets[i].pts && seen++ == unit) return i;
    }
    return s.packets.size();
  };
  s.packets[find(1)].payload[2] = 0xFF;
  s.packets.erase(s.packets.begin() + static_cast<ptrdiff_t>(find(4) - 1));
  *s.packets[find(5)].pts = kVideoStart - 9000;
  testing::RecordingHost host;
  const std::vector<PgsShown> shown = run(s, {"x.sup", 720, 576, {}, kVideoStart}, host);
  // Unit 5 comes out of time order and is skipped as well.
  EXPECT_EQ(shown.size(), 3u);
  EXPECT_EQ(host.lines,
            (std::vector<std::string>{"Subpicture stream 0x21 as PGS: 1 damaged units dropped, "
                                      "2 subpictures skipped, 1 cut; 3 written from 5 units."}));
}

TEST(PgsOutput, FileFailuresComeBackAsStatus) {
  testing::MemoryFileSystem files;
  testing::RecordingHost host;
  std::unique_ptr<StreamOutput> output;
  files.refuseCreate("locked/", "Permission denied");
  EXPECT_EQ(makePgsOutput(files, host, {"locked/x.sup"}, &output).code(),
            Status::Code::CreateFailed);
  EXPECT_EQ(output, nullptr);

  files.limitSpace("full/", 100);
  ASSERT_TRUE(makePgsOutput(files, host, {"full/x.sup"}, &output).ok());
  const Stream s =
      stream({banded(true, 0, 0, 300, 40, 7), banded(true, 0, 0, 300, 40, 8)}, 0, 90000, 2000);
  Status last;
  for (const SubpicturePacket& packet : s.packets) {
    last = output->piece(packet.payload.data(), packet.payload.size(),
                         {.packetStart = true, .pts = packet.pts, .id = kId});
  }
  const Status finished = output->finish();
  EXPECT_EQ(finished.code(), Status::Code::WriteFailed);
  EXPECT_EQ(output->status(), finished);
  EXPECT_EQ(output->failedPath(), "full/x.sup");
}

}  // namespace
}  // namespace korvell
