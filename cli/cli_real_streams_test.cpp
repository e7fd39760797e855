// korvell-cli on streams that real encoders and muxers wrote, checked against what ffmpeg
// reads from the same bytes. Skipped, with a note, where ffmpeg is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "testing/ps_writer.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

bool haveFfmpeg() {
  return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

testing::CommandResult run(const std::string& commandLine) {
  return testing::runCommand(commandLine);
}

class CliRealStreams : public ::testing::Test {
 protected:
  static std::string cli() { return KORVELL_CLI; }
  testing::TempFolder folder_;
  const fs::path root_ = folder_.path();
};

size_t countPattern(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& pattern) {
  size_t count = 0;
  for (auto it = bytes.begin();
       (it = std::search(it, bytes.end(), pattern.begin(), pattern.end())) != bytes.end(); ++it)
    ++count;
  return count;
}

// The number in front of `tail` on a line of the output, or -1.
long numberBefore(const std::string& output, const std::string& tail) {
  const std::regex line("(^|\n)([0-9]+)" + tail);
  std::smatch match;
  if (!std::regex_search(output, match, line)) return -1;
  return std::stol(match[2]);
}

TEST_F(CliRealStreams, FfmpegProgramStreamsCountEveryPictureOnce) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: real-muxer frame counts skipped";
  constexpr int kPictures = 500;
  // Both muxers cut the video into packets wherever a pack is full, start codes included.
  for (const std::string muxer : {"dvd", "vob"}) {
    const fs::path vob = root_ / ("VTS_01_" + muxer + ".VOB");
    ASSERT_EQ(
        run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25"
            " -frames:v " +
            std::to_string(kPictures) + " -c:v mpeg2video -b:v 6M -f " + muxer + " " + vob.string())
            .status,
        0);
    const testing::CommandResult read =
        run(cli() + " read --markup --no-fast-check " + vob.string());
    ASSERT_EQ(read.status, 0) << read.output;
    EXPECT_EQ(numberBefore(read.output, " counted frames \\("), kPictures) << read.output;

    const fs::path out = root_ / ("out_" + muxer);
    fs::create_directories(out);
    const testing::CommandResult demux =
        run(cli() + " demux --markup " + vob.string() + " -o " + out.string());
    ASSERT_EQ(demux.status, 0) << demux.output;
    EXPECT_EQ(numberBefore(demux.output, " frames \\(\\[b\\]"), kPictures) << demux.output;
    const auto video = testing::readFileBytes(out / ("VTS_01_" + muxer + ".MPEG-2.stream.0.mpv"));
    EXPECT_EQ(countPattern(video, {0x00, 0x00, 0x01, 0x00}), static_cast<size_t>(kPictures));
  }
}

TEST_F(CliRealStreams, AudioObjectMlpDemuxesToTheStreamThatWasMuxed) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: MLP decode check skipped";
  const fs::path source = fs::path(KORVELL_SOURCE_DIR) / "testdata" / "mlp_2ch.mlp";
  const std::vector<uint8_t> mlp = testing::readFileBytes(source);
  ASSERT_FALSE(mlp.empty());
  // DVD-Audio packs: substream 0xA1, continuity counter, header length 6, six header bytes.
  testing::PsWriter ps;
  uint8_t counter = 0;
  for (size_t from = 0; from < mlp.size(); from += 2010) {
    const size_t length = std::min<size_t>(2010, mlp.size() - from);
    std::vector<uint8_t> body = {0xA1, counter++, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    body.insert(body.end(), mlp.begin() + static_cast<long>(from),
                mlp.begin() + static_cast<long>(from + length));
    ps.packHeader().pes(0xBD, body, {.pts = 0x1000 + static_cast<uint32_t>(from)}).fillPack();
  }
  const fs::path aob = root_ / "ATS_01_1.AOB";
  testing::writeFileBytes(aob, ps.bytes());
  const testing::CommandResult demux =
      run(cli() + " demux " + aob.string() + " -o " + root_.string());
  ASSERT_EQ(demux.status, 0) << demux.output;
  const fs::path written = root_ / "ATS_01_1.LPCM.stream.01.mpa";
  ASSERT_TRUE(testing::readFileBytes(written) == mlp);
  const auto decode = [&](const fs::path& file) {
    return run("ffmpeg -hide_banner -v error -f mlp -i " + file.string() + " -f s16le - | md5sum");
  };
  const testing::CommandResult fromSource = decode(source);
  const testing::CommandResult fromDemux = decode(written);
  ASSERT_EQ(fromDemux.status, 0);
  EXPECT_EQ(fromDemux.output, fromSource.output);  // no error lines, the same samples
  EXPECT_EQ(fromDemux.output.find("rror"), std::string::npos) << fromDemux.output;
  EXPECT_EQ(fromDemux.output.find("d41d8cd98f00b204e9800998ecf8427e"), std::string::npos)
      << "ffmpeg decoded no samples";
}

TEST_F(CliRealStreams, IdentifiersThatShareASlotDemuxToFilesOfTheirOwn) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: slot clash check skipped";
  // ffmpeg's DVD muxer numbers each codec from 0: AC-3 0x80 with LPCM 0xA0, and AC-3 0x80 with
  // DTS 0x88, fall into audio slot 0 by their low bits.
  struct Case {
    const char* name;
    const char* codec;    // the second track's encoder options
    const char* rawForm;  // how ffmpeg writes the second track as an elementary stream
    const char* label;
  };
  const Case cases[] = {
      {"lpcm", "-c:a:1 pcm_s16be", "-f s16be", "LPCM.stream.01"},
      {"dts", "-c:a:1 dca -strict -2 -ac:a:1 2", "-c copy -f dts", "DTSHD.stream.01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path vob = root_ / (std::string("VTS_0") + (c.name[0] == 'l' ? "1" : "2") + "_1.VOB");
    ASSERT_EQ(run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25"
                  " -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 -map 0:v -map 1:a"
                  " -map 1:a -c:v mpeg2video -c:a:0 ac3 " +
                  std::string(c.codec) + " -f dvd " + vob.string())
                  .status,
              0);
    const fs::path out = root_ / (std::string("out_") + c.name);
    fs::create_directories(out);
    const testing::CommandResult demux =
        run(cli() + " demux " + vob.string() + " -o " + out.string());
    ASSERT_EQ(demux.status, 0) << demux.output;
    const std::string base = (out / vob.stem()).string();
    const fs::path ac3 = root_ / (std::string(c.name) + ".ac3");
    const fs::path second = root_ / (std::string(c.name) + ".second");
    ASSERT_EQ(run("ffmpeg -hide_banner -loglevel error -y -i " + vob.string() +
                  " -map 0:a:0 -c copy -f ac3 " + ac3.string() + " -map 0:a:1 " + c.rawForm + " " +
                  second.string())
                  .status,
              0);
    const auto ac3Bytes = testing::readFileBytes(ac3);
    ASSERT_FALSE(ac3Bytes.empty());
    EXPECT_TRUE(testing::readFileBytes(base + ".DD.stream.00.mpa") == ac3Bytes);
    const auto secondBytes = testing::readFileBytes(second);
    ASSERT_FALSE(secondBytes.empty());
    EXPECT_TRUE(testing::readFileBytes(base + "." + c.label + ".mpa") == secondBytes);
  }
}

bool have(const std::string& tool) {
  return std::system((tool + " --version >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(text.substr(from, end - from));
  return lines;
}

// The file a --json document names for a stream box with a form, or empty.
std::string fileOf(const nlohmann::json& doc, const std::string& box, const std::string& form) {
  for (const nlohmann::json& stream : doc["streams"]) {
    if (stream["box"] != box) continue;
    for (const nlohmann::json& file : stream["files"])
      if (file["format"] == form) return file["path"];
  }
  return "";
}

// ffmpeg draws each unit of subtitle stream `stream` of the input over black: the distinct
// pictures in order, the empty one left out.
std::vector<std::string> pictures(const std::string& input, const std::string& stream) {
  const testing::CommandResult result =
      run("ffmpeg -hide_banner -v error -f lavfi -i color=black:s=720x576:r=25:d=8 " + input +
          " -filter_complex '[0:v][1:" + stream + "]overlay' -an -f framemd5 - | grep -v '^#'");
  EXPECT_EQ(result.status, 0) << result.output;
  std::vector<std::string> hashes;
  std::string blank;
  for (const std::string& line : linesOf(result.output)) {
    const std::string hash = line.substr(line.rfind(' ') + 1);
    if (blank.empty()) blank = hash;  // the first frame has no subtitle yet
    if (hash != blank && (hashes.empty() || hashes.back() != hash)) hashes.push_back(hash);
  }
  return hashes;
}

// A DVD VOB of ffmpeg's MPEG-2 video, 24-bit 6-channel LPCM and AC-3 with two spumux-authored
// subpicture streams, demuxed with --lpcm flac --subs vobsub: mkvmerge takes every file in
// one call, the FLAC holds ffmpeg's pcm_dvd samples exactly, and the VobSub pairs draw in
// ffmpeg the pictures the VOB's units draw. With --subs pgs mkvmerge takes the .sup files as
// presentation graphics.
TEST_F(CliRealStreams, DemuxedFormsGoIntoMatroskaAndDecodeAsTheVob) {
  if (!haveFfmpeg() || std::system("command -v spumux >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ffmpeg or spumux is not installed: the output forms' real check skipped";
  }
  if (!have("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed: the Matroska check skipped";
  const fs::path vob = root_ / "VTS_01_1.VOB";
  const testing::CommandResult made =
      run(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_spumux_vob.sh " + vob.string() +
          " --audio");
  ASSERT_EQ(made.status, 0) << made.output;
  const fs::path out = root_ / "out";
  fs::create_directories(out);
  const testing::CommandResult demux = run(cli() + " demux --json --lpcm flac --subs vobsub " +
                                           vob.string() + " -o " + out.string());
  ASSERT_EQ(demux.status, 0) << demux.output;
  const nlohmann::json doc = nlohmann::json::parse(demux.output);
  const std::string flac = fileOf(doc, "a00", "flac");
  ASSERT_FALSE(flac.empty()) << doc.dump(1);
  std::string inputs;
  for (const nlohmann::json& file : doc["written_files"])
    if (file["format"] != "sub") inputs += " '" + file["path"].get<std::string>() + "'";
  const fs::path mkv = root_ / "all.mkv";
  const testing::CommandResult muxed = run("mkvmerge -q -o " + mkv.string() + inputs);
  ASSERT_EQ(muxed.status, 0) << muxed.output;  // 1 would be a warning
  const nlohmann::json tracks = nlohmann::json::parse(run("mkvmerge -J " + mkv.string()).output);
  std::vector<std::string> codecs;
  for (const nlohmann::json& track : tracks["tracks"])
    codecs.push_back(track["properties"]["codec_id"]);
  EXPECT_EQ(codecs,
            (std::vector<std::string>{"V_MPEG2", "A_FLAC", "A_AC3", "S_VOBSUB", "S_VOBSUB"}));

  const auto samples = [](const std::string& input) {
    return run("ffmpeg -hide_banner -v error -i " + input + " -map 0:a:0 -c:a pcm_s32le -f md5 -");
  };
  const testing::CommandResult fromVob = samples(vob.string());
  const testing::CommandResult fromFlac = samples("'" + flac + "'");
  ASSERT_EQ(fromFlac.status, 0) << fromFlac.output;
  EXPECT_TRUE(fromVob.output.starts_with("MD5=")) << fromVob.output;
  EXPECT_EQ(fromVob.output.find("d41d8cd98f00b204e9800998ecf8427e"), std::string::npos)
      << "ffmpeg decoded no samples";
  EXPECT_EQ(fromFlac.output, fromVob.output);

  // The palette of the .idx files (no title gives one) for ffmpeg's reading of the VOB.
  const std::string palette =
      "000000,0000ff,00ff00,ff0000,ffff00,ff00ff,00ffff,ffffff,"
      "808000,8080ff,800080,80ff80,008080,ff8080,555555,aaaaaa";
  const size_t units[] = {3, 2};
  for (int n = 0; n < 2; ++n) {
    SCOPED_TRACE("subpicture stream " + std::to_string(n));
    const std::string idx = fileOf(doc, "s0" + std::to_string(n), "idx");
    ASSERT_FALSE(idx.empty());
    const std::vector<std::string> fromIdx = pictures("-i '" + idx + "'", "s:0");
    EXPECT_EQ(fromIdx.size(), units[n]);
    EXPECT_EQ(fromIdx,
              pictures("-palette " + palette + " -i " + vob.string(), "s:" + std::to_string(n)));
  }

  const fs::path pgsOut = root_ / "pgs";
  fs::create_directories(pgsOut);
  const testing::CommandResult pgs =
      run(cli() + " demux --json --subs pgs " + vob.string() + " -o " + pgsOut.string());
  ASSERT_EQ(pgs.status, 0) << pgs.output;
  const std::string sup = fileOf(nlohmann::json::parse(pgs.output), "s00", "pgs");
  ASSERT_FALSE(sup.empty());
  const testing::CommandResult pgsMux =
      run("mkvmerge -q -o " + (root_ / "pgs.mkv").string() + " '" + sup + "'");
  ASSERT_EQ(pgsMux.status, 0) << pgsMux.output;
  EXPECT_NE(run("mkvmerge -J " + (root_ / "pgs.mkv").string()).output.find("S_HDMV/PGS"),
            std::string::npos);
}

}  // namespace
}  // namespace korvell
