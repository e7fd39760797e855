// The PGS output against general tools: ffmpeg decodes what it writes without an error and
// shows the same pixels as when it decodes the source units itself, and mkvmerge takes it as
// S_HDMV/PGS. Skipped, with a note, where a tool is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/file_system.h"
#include "engine/walker.h"
#include "outputs/pgs_encoder.h"
#include "outputs/pgs_output.h"
#include "report/console.h"
#include "report/text_format.h"
#include "testing/null_host.h"
#include "testing/pass_values.h"
#include "testing/pgs_reader.h"
#include "testing/recording_host.h"
#include "testing/subpicture_writer.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using testing::runCommand;
using testing::UnitPicture;

bool have(const std::string& tool) {
  return runCommand("command -v " + tool + " >/dev/null").status == 0;
}

constexpr uint32_t kFirstPts = 90000;
// Units every 3 s, each shown for 2.56 s: 225 x 1,024 ticks, 64 frames at 25 a second.
constexpr uint32_t kSpacing = 270000;
constexpr uint16_t kShown = 225;

std::vector<UnitPicture> pictures(bool eightBit) {
  std::vector<UnitPicture> out;
  const uint16_t sizes[][4] = {{60, 400, 600, 100}, {0, 0, 720, 31}, {300, 200, 17, 240}};
  for (int i = 0; i < 3; ++i) {
    UnitPicture p;
    p.eightBit = eightBit;
    p.x = sizes[i][0];
    p.y = sizes[i][1];
    p.width = sizes[i][2];
    p.height = sizes[i][3];
    p.pixels.resize(static_cast<size_t>(p.width) * p.height);
    for (int r = 0; r < p.height; ++r) {
      for (int c = 0; c < p.width; ++c) {
        const bool margin = r < 3 || c < 5 || c > p.width - 5;
        const int v = margin     ? 0
                      : eightBit ? (c / 7 + r / 3 * 5 + i * 40) % 256
                                 : (c / 11 + r / 4) % 4;
        p.pixels[static_cast<size_t>(r) * p.width + c] = static_cast<uint8_t>(v);
      }
    }
    if (eightBit) {
      testing::fillVariedPalette(p);
    } else {
      p.colours = {2, 7, 12, static_cast<uint8_t>(3 + i)};
      p.contrast = {0, 15, 9, 5};
    }
    p.forced = i == 1;
    p.stopDelay = kShown;
    out.push_back(std::move(p));
  }
  return out;
}

struct Written {
  std::filesystem::path source;  // the units in a program stream
  std::filesystem::path sup;     // what the PGS output made of them
};

Written write(const testing::TempFolder& folder, bool eightBit,
              const std::optional<YcrcbPalette>& palette) {
  std::vector<testing::SubpicturePacket> packets;
  const auto all = pictures(eightBit);
  for (size_t i = 0; i < all.size(); ++i) {
    const auto unit = testing::writeSubpictureUnit(all[i]);
    const auto cut =
        testing::packetizeUnit(unit, kFirstPts + static_cast<uint32_t>(i) * kSpacing, 2000);
    packets.insert(packets.end(), cut.begin(), cut.end());
  }
  Written w{folder / "source.mpg", folder / "out.sup"};
  testing::writeFileBytes(w.source, testing::subpictureProgramStream(packets, 0x20));

  testing::RecordingHost host;
  std::unique_ptr<StreamOutput> output;
  const PgsRequest request{w.sup.string(), 720, 576, palette, kFirstPts};
  EXPECT_TRUE(makePgsOutput(realFileSystem(), host, request, &output).ok());
  for (const auto& packet : packets) {
    EXPECT_TRUE(output
                    ->piece(packet.payload.data(), packet.payload.size(),
                            {.packetStart = true, .pts = packet.pts, .id = 0x20})
                    .ok());
  }
  EXPECT_TRUE(output->finish().ok());
  EXPECT_TRUE(host.lines.empty()) << host.transcript();
  return w;
}

// The subtitles of `input` over a 720x576 grey-blue background, as RGB: every fifth frame of
// 25 a second (the same frames from both inputs).
std::vector<uint8_t> rendered(const testing::TempFolder& folder, const std::string& inputOptions,
                              const std::filesystem::path& input) {
  const auto out = folder / (input.stem().string() + ".rgb");
  const auto r = runCommand(
      "ffmpeg -hide_banner -v error -y -f lavfi -i color=c=0x406080:s=720x576:r=25:d=9 " +
      inputOptions + " -i '" + input.string() +
      "' -filter_complex \"[0:v][1:s]overlay=format=rgb,select='not(mod(n\\,5))'[v]\" "
      "-map '[v]' -vsync passthrough -pix_fmt rgb24 -f rawvideo '" +
      out.string() + "'");
  // ffmpeg warns of "frame duplication too large" for PGS, whose subtitles have no end of
  // their own: the status alone tells a failure.
  EXPECT_EQ(r.status, 0) << r.output;
  std::vector<uint8_t> bytes(std::filesystem::file_size(out));
  std::FILE* file = std::fopen(out.c_str(), "rb");
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
  return bytes;
}

constexpr size_t kFrame = 720 * 576 * 3;

// Compares frame by frame: how many frames differ by more than `tolerance` anywhere, and in
// how many of `a` any subtitle shows (anything differs from the background colour, which the
// bottom-right corner, never covered, shows).
int differingFrames(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance,
                    int* framesWithSubtitles, size_t frameCount = 9 * 5) {
  // ffmpeg may give one frame more at the end when the last subtitle has no end of its own
  // (PGS, or a DVD unit whose stop is the farthest it can say).
  for (const auto* frames : {&a, &b}) {
    EXPECT_GE(frames->size(), frameCount * kFrame);
    EXPECT_LE(frames->size(), frameCount * kFrame + kFrame);
  }
  int differing = 0;
  *framesWithSubtitles = 0;
  if (a.size() < kFrame) return 0;
  std::vector<uint8_t> background(kFrame);
  for (size_t i = 0; i < kFrame; ++i)
    background[i] = a[kFrame - 3 + i % 3];
  // The frames asked for, not an extra one.
  for (size_t f = 0; f + kFrame <= std::min({a.size(), b.size(), frameCount * kFrame});
       f += kFrame) {
    const uint8_t* x = a.data() + f;
    const uint8_t* y = b.data() + f;
    *framesWithSubtitles += !std::equal(x, x + kFrame, background.begin());
    if (std::equal(x, x + kFrame, y)) continue;
    for (size_t i = 0; i < kFrame; ++i) {
      if (std::abs(x[i] - y[i]) > tolerance) {
        ++differing;
        break;
      }
    }
  }
  return differing;
}

// What ffprobe decodes from the PGS: each display set's time (microseconds from the first)
// and object count; an error message fails the test.
void expectFfprobeDecodes(const std::filesystem::path& sup) {
  const std::string file = "'" + sup.string() + "'";
  const auto errors = runCommand("ffprobe -v error -show_frames " + file + " 2>&1 >/dev/null");
  EXPECT_EQ(errors.status, 0);
  EXPECT_EQ(errors.output, "");
  const auto frames = runCommand("ffprobe -v error -show_entries subtitle=pts,num_rects " + file);
  std::string expected;
  for (int i = 0; i < 3; ++i) {
    const uint64_t start = i * kSpacing * 100 / 9;
    expected += "[SUBTITLE]\npts=" + std::to_string(start) + "\nnum_rects=1\n[/SUBTITLE]\n";
    expected += "[SUBTITLE]\npts=" + std::to_string(start + kShown * 1024 * 100 / 9) +
                "\nnum_rects=0\n[/SUBTITLE]\n";
  }
  EXPECT_EQ(frames.output, expected);
}

// The palette "rrggbb,..." that ffmpeg's DVD subtitle coders take.
YcrcbPalette ycrcbOf(const std::string& rgb) {
  RgbPalette given{};
  for (size_t i = 0; i < 16; ++i) {
    const auto v = static_cast<uint32_t>(std::stoul(rgb.substr(i * 7, 6), nullptr, 16));
    given[i] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                static_cast<uint8_t>(v)};
  }
  return paletteToYcrcb(given);
}

// A Read run's scan and a Demux run's walk of `vob` with subpicture stream `slot` going to a
// PGS output: the walker hands the pieces over as it finds them. Returns the first event's
// time in seconds.
double walkIntoPgs(const std::filesystem::path& vob, int slot, const std::filesystem::path& sup,
                   const std::string& rgb) {
  const std::vector<uint8_t> bytes = testing::readFileBytes(vob);
  testing::PassValues state;
  testing::NullHost quiet;
  MemorySource scanned(bytes);
  EXPECT_TRUE(demux(state.walker(scanned), quiet, WalkMode::Scan).ok());
  EXPECT_TRUE(state.results.videoTimes[0].firstPts.has_value());
  testing::RecordingHost host;
  std::unique_ptr<StreamOutput> output;
  const PgsRequest request{sup.string(), 720, 576, ycrcbOf(rgb),
                           state.results.videoTimes[0].firstPts.value_or(0)};
  EXPECT_TRUE(makePgsOutput(realFileSystem(), host, request, &output).ok());
  if (!output) return 0;
  state.selection.selected.fill(false);
  state.selection.selected[static_cast<size_t>(slotNumber({Family::Subpicture, slot}))] = true;
  state.sinks.outputOf({Family::Subpicture, slot}) = output.get();
  MemorySource demuxed(bytes);
  EXPECT_TRUE(demux(state.walker(demuxed), quiet, WalkMode::Demux).ok());
  EXPECT_TRUE(output->finish().ok());
  EXPECT_TRUE(host.lines.empty()) << host.transcript();
  const std::vector<uint8_t> pgs = testing::readFileBytes(sup);
  return pgs.size() < 6 ? 0 : (pgs[2] << 24 | pgs[3] << 16 | pgs[4] << 8 | pgs[5]) / 90000.0;
}

// HD DVD units exactly; DVD units within a step, as ffmpeg's DVD subtitle decoder takes the
// palette as RGB while PGS carries Y, Cr, Cb, and the two conversions may round apart.
TEST(PgsTools, FfmpegShowsTheSamePixelsAsFromTheUnits) {
  if (!have("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed: PGS decode check skipped";
  YcrcbPalette ifo{};
  for (uint32_t i = 0; i < 16; ++i)
    ifo[i] = (30 + i * 12) << 16 | (90 + i * 5) << 8 | (170 - i * 5);
  std::string rgb;
  for (const Rgb& c : paletteToRgb(ifo))
    rgb += (rgb.empty() ? "" : ",") + hexText(c.packed(), 6);
  for (const bool eightBit : {true, false}) {
    SCOPED_TRACE(eightBit ? "HD DVD units" : "DVD units");
    testing::TempFolder folder;
    const Written w = write(folder, eightBit, ifo);
    expectFfprobeDecodes(w.sup);
    const auto fromUnits = rendered(folder, eightBit ? "" : "-palette " + rgb, w.source);
    const auto fromPgs = rendered(folder, "", w.sup);
    int shown = 0;
    EXPECT_EQ(differingFrames(fromUnits, fromPgs, eightBit ? 0 : 3, &shown), 0);
    // Each of the three for 2.56 s: 13 of every 15 frames taken.
    EXPECT_NEAR(shown, 3 * 13, 1);
  }
}

// Units that a real encoder wrote: ffmpeg's DVD subtitle encoder turns a PGS of the HD DVD
// pictures into 2-bit units of a VOB, with colours of its own choosing among 16 given ones.
// The walker hands that VOB's subpicture stream to the PGS output, and ffmpeg shows the same
// pixels from both.
TEST(PgsTools, FfmpegEncodedDvdUnitsThroughTheWalker) {
  if (!have("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed: real DVD units skipped";
  testing::TempFolder folder;
  // The source: the HD DVD pictures as PGS, straight from the encoder.
  const auto source = folder / "source.sup";
  {
    std::vector<uint8_t> pgs;
    PgsEncoder encoder(720, 576);
    const auto all = pictures(true);
    for (size_t i = 0; i < all.size(); ++i) {
      const UnitPicture& p = all[i];
      SubpictureEvent e{
          .x = p.x, .y = p.y, .width = p.width, .height = p.height, .pixels = p.pixels};
      for (size_t c = 0; c < 256; ++c) {
        e.palette.push_back(
            {p.ycc[c][0], p.ycc[c][1], p.ycc[c][2], static_cast<uint8_t>(255 - p.transparency[c])});
      }
      const auto start = static_cast<uint32_t>(i) * kSpacing;
      ASSERT_EQ(encoder.encode(e, start, start + kShown * 1024u, pgs), PgsEncodeResult::Written);
    }
    testing::writeFileBytes(source, pgs);
  }
  const std::string rgb =
      "000000,ffffff,e02020,20e020,2020e0,e0e020,e020e0,20e0e0,808080,404040,c0c0c0,"
      "a05010,10a050,5010a0,ffa0a0,a0a0ff";
  const auto vob = folder / "encoded.vob";
  const auto encoded = runCommand(
      "ffmpeg -hide_banner -v error -y -f lavfi -i color=c=black:s=720x576:r=25:d=9 -i '" +
      source.string() + "' -map 0:v -map 1:s -c:v mpeg2video -c:s dvdsub -palette " + rgb +
      " -f dvd '" + vob.string() + "'");
  ASSERT_EQ(encoded.status, 0) << encoded.output;

  const auto sup = folder / "walked.sup";
  walkIntoPgs(vob, 0, sup, rgb);
  const auto fromUnits = rendered(folder, "-palette " + rgb, vob);
  const auto fromPgs = rendered(folder, "", sup);
  int shown = 0;
  EXPECT_EQ(differingFrames(fromUnits, fromPgs, 3, &shown), 0);
  // ffmpeg's encoder gives each unit the longest stop it can say, so every subtitle shows
  // until the next replaces it: all frames but the first.
  EXPECT_EQ(shown, 44);
}

// The pictures a rendering shows, in order: each frame unlike the one before it and unlike
// the background (the bottom-right pixel's colour).
std::vector<std::vector<uint8_t>> distinctPictures(const std::vector<uint8_t>& frames) {
  std::vector<std::vector<uint8_t>> pictures;
  if (frames.size() < kFrame) return pictures;
  std::vector<uint8_t> background(kFrame), last;
  for (size_t i = 0; i < kFrame; ++i)
    background[i] = frames[kFrame - 3 + i % 3];
  for (size_t f = 0; f + kFrame <= frames.size(); f += kFrame) {
    std::vector<uint8_t> frame(frames.begin() + static_cast<ptrdiff_t>(f),
                               frames.begin() + static_cast<ptrdiff_t>(f + kFrame));
    if (frame != background && frame != last) pictures.push_back(frame);
    last = std::move(frame);
  }
  return pictures;
}

std::vector<int64_t> numbersAfter(const std::string& text, const std::string& key) {
  std::vector<int64_t> values;
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
    values.push_back(std::stoll(text.substr(at + key.size())));
  return values;
}

// Units that spumux authored (testdata/make_spumux_vob.sh): three-colour pictures, one unit
// over many packets, shown at times of their own. ffmpeg starts the VOB's subtitles at their
// own first time stamp, so the pictures are compared in order and the times against what
// ffprobe reads from the VOB.
TEST(PgsTools, SpumuxUnitsThroughTheWalker) {
  if (!have("ffmpeg") || !have("ffprobe") || !have("spumux")) {
    GTEST_SKIP() << "ffmpeg, ffprobe or spumux is not installed: spumux units skipped";
  }
  testing::TempFolder folder;
  const auto vob = folder / "spumux.vob";
  const auto made = runCommand(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_spumux_vob.sh '" +
                               vob.string() + "'");
  ASSERT_EQ(made.status, 0) << made.output;
  const std::string rgb =
      "000000,0000ff,00ff00,ff0000,ffff00,ff00ff,00ffff,ffffff,"
      "808000,8080ff,800080,80ff80,008080,ff8080,555555,aaaaaa";
  const auto sup = folder / "spumux.sup";
  walkIntoPgs(vob, 0, sup, rgb);

  const std::string probe = "ffprobe -v error -select_streams ";
  const auto videoStart = numbersAfter(
      runCommand(probe + "v:0 -show_entries stream=start_pts '" + vob.string() + "'").output,
      "start_pts=");
  const auto pts = numbersAfter(
      runCommand(probe + "s:0 -show_entries packet=pts -show_packets '" + vob.string() + "'")
          .output,
      "pts=");
  const auto shownMs = numbersAfter(runCommand(probe +
                                               "s:0 -show_entries subtitle=end_display_time "
                                               "-show_frames '" +
                                               vob.string() + "'")
                                        .output,
                                    "end_display_time=");
  std::vector<testing::PgsShown> shown;
  std::string error;
  ASSERT_TRUE(testing::readPgs(testing::readFileBytes(sup), &shown, &error)) << error;
  ASSERT_EQ(videoStart.size(), 1u);
  ASSERT_EQ(pts.size(), 3u);
  ASSERT_EQ(shownMs.size(), 3u);
  ASSERT_EQ(shown.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(shown[i].start, pts[i] - videoStart[0]);
    // ffmpeg gives the stop delay in whole milliseconds, rounded down.
    EXPECT_GE(*shown[i].stop - shown[i].start, shownMs[i] * 90);
    EXPECT_LT(*shown[i].stop - shown[i].start, shownMs[i] * 90 + 90);
  }
  const auto fromUnits = distinctPictures(rendered(folder, "-palette " + rgb, vob));
  const auto fromPgs = distinctPictures(rendered(folder, "", sup));
  ASSERT_EQ(fromUnits.size(), 3u);
  ASSERT_EQ(fromPgs.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    int unused = 0;
    EXPECT_EQ(differingFrames(fromUnits[i], fromPgs[i], 3, &unused, 1), 0) << "picture " << i;
  }
}

TEST(PgsTools, MkvmergeTakesItAsPgs) {
  if (!have("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed: PGS mux check skipped";
  for (const bool eightBit : {true, false}) {
    SCOPED_TRACE(eightBit ? "8-bit" : "2-bit");
    testing::TempFolder folder;
    const Written w = write(folder, eightBit, std::nullopt);
    const auto identified = runCommand("mkvmerge -J '" + w.sup.string() + "'");
    EXPECT_EQ(identified.status, 0) << identified.output;
    EXPECT_NE(identified.output.find("\"type\": \"PGSSUP\""), std::string::npos)
        << identified.output;
    const auto mkv = folder / "out.mkv";
    const auto muxed = runCommand("mkvmerge -q -o '" + mkv.string() + "' '" + w.sup.string() + "'");
    EXPECT_EQ(muxed.status, 0) << muxed.output;
    const auto inMkv = runCommand("mkvmerge -J '" + mkv.string() + "'");
    EXPECT_NE(inMkv.output.find("\"codec_id\": \"S_HDMV/PGS\""), std::string::npos) << inMkv.output;
  }
}

}  // namespace
}  // namespace korvell
