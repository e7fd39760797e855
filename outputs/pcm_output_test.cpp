#include "outputs/pcm_output.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/walker.h"
#include "outputs/lpcm_decoder.h"
#include "outputs/sound_file.h"
#include "testing/memory_file_system.h"
#include "testing/pass_values.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

using testing::AobGroupSamples;
using testing::AobLpcmHeader;
using testing::PsWriter;
using testing::RecordingHost;

constexpr uint8_t kLpcm = 0xA0;

// A sound file as libsndfile reads it back: its format and every sample, bits at the top.
struct Sound {
  int rate = 0;
  int channels = 0;
  std::vector<int32_t> samples;
};

std::optional<Sound> readSound(const std::vector<uint8_t>& bytes) {
  testing::TempFolder folder;
  const std::string path = folder / "sound";
  testing::writeFileBytes(path, bytes);
  SF_INFO info{};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  if (sound == nullptr) return std::nullopt;
  Sound s{info.samplerate, info.channels, {}};
  s.samples.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_int(sound, s.samples.data(), info.frames);
  sf_close(sound);
  return s;
}

// The first four bytes of a WAV file and its format chunk's tag, sample bits and speaker mask.
struct WavHeader {
  std::string riff;
  uint16_t tag = 0;
  uint16_t bits = 0;
  uint32_t mask = 0;
};

WavHeader wavHeader(const std::vector<uint8_t>& b) {
  const auto u16 = [&b](size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
  const auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | u16(at + 2) << 16); };
  WavHeader h;
  if (b.size() < 12) return h;
  h.riff.assign(b.begin(), b.begin() + 4);
  for (size_t at = 12; at + 8 <= b.size(); at += 8 + u32(at + 4)) {
    if (std::memcmp(&b[at], "fmt ", 4) != 0) continue;
    h.tag = u16(at + 8);
    h.bits = u16(at + 22);
    if (h.tag == 0xFFFE) h.mask = u32(at + 28);
    break;
  }
  return h;
}

// One demux pass over a program stream with `output` on audio slot 0 (substream 0xA0).
void demuxInto(const std::vector<uint8_t>& stream, StreamOutput& output,
               const std::string& sourcePath = "/in/VTS_01_1.VOB") {
  testing::PassValues state;
  RecordingHost host;
  state.sourcePath = sourcePath;
  state.selection.selected[slotNumber({Family::Audio, 0})] = true;
  state.sinks.outputOf({Family::Audio, 0}) = &output;
  MemorySource source(stream);
  demux(state.walker(source), host, WalkMode::Demux);
}

// Random samples with `bits` significant bits.
std::vector<int32_t> randomSamples(size_t count, int bits, std::mt19937& random) {
  std::vector<int32_t> samples(count);
  if (count == 0) return samples;  // no group 2: no word length either
  const uint32_t keep = ~0u << (32 - bits);
  for (int32_t& s : samples)
    s = static_cast<int32_t>(static_cast<uint32_t>(random()) & keep);
  return samples;
}

std::vector<uint8_t> randomBytes(size_t count, std::mt19937& random) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes)
    b = static_cast<uint8_t>(random());
  return bytes;
}

bool haveTool(const std::string& versionCommand) {
  return std::system((versionCommand + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(PcmOutput, FfmpegDvdStreamsGiveTheSamplesFfmpegDecodes) {
  if (!haveTool("ffmpeg -version"))
    GTEST_SKIP() << "ffmpeg is not installed: DVD LPCM decoding skipped";
  const bool mkvmerge = haveTool("mkvmerge --version");
  if (!mkvmerge) std::cout << "mkvmerge is not installed: its reading of the files is skipped\n";
  struct Case {
    int bits, channels, rate;
  };
  const Case cases[] = {{16, 2, 48000}, {16, 6, 96000}, {24, 2, 96000}, {24, 6, 48000}};
  testing::TempFolder folder;
  for (const Case& c : cases) {
    const std::string name =
        std::to_string(c.bits) + "_" + std::to_string(c.channels) + "_" + std::to_string(c.rate);
    const std::string vob = folder / (name + ".VOB");
    const std::string pcm = folder / (name + ".s32");
    ASSERT_EQ(testing::runCommand(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_lpcm_vob.sh " +
                                  vob + " " + std::to_string(c.bits) + " " +
                                  std::to_string(c.channels) + " " + std::to_string(c.rate))
                  .status,
              0);
    ASSERT_EQ(testing::runCommand("ffmpeg -hide_banner -loglevel error -y -i " + vob +
                                  " -map 0:a:0 -c:a pcm_s32le -f s32le " + pcm)
                  .status,
              0);
    const std::vector<uint8_t> decoded = testing::readFileBytes(pcm);
    std::vector<int32_t> expected(decoded.size() / 4);
    std::memcpy(expected.data(), decoded.data(), expected.size() * 4);
    ASSERT_GT(expected.size(), static_cast<size_t>(c.rate / 2 * c.channels)) << name;
    for (PcmForm form : {PcmForm::Wav, PcmForm::Flac}) {
      RecordingHost console;
      const std::string base = folder / (name + ".LPCM.stream.00");
      auto output = makePcmOutput(realFileSystem(), console, {base, form, base + ".lpcm", false});
      demuxInto(testing::readFileBytes(vob), *output);
      ASSERT_TRUE(output->finish().ok()) << output->status().reason();
      const std::string file = pcmFilePath(base, 1, 0, form);
      EXPECT_EQ(
          output->files(),
          (std::vector<OutputFile>{{file, form == PcmForm::Wav ? FileForm::Wav : FileForm::Flac}}));
      const std::vector<uint8_t> bytes = testing::readFileBytes(file);
      const std::optional<Sound> sound = readSound(bytes);
      ASSERT_TRUE(sound) << file;
      EXPECT_EQ(sound->rate, c.rate);
      EXPECT_EQ(sound->channels, c.channels);
      EXPECT_TRUE(sound->samples == expected)
          << file << ": " << sound->samples.size() << " vs " << expected.size() << " samples";
      if (form == PcmForm::Wav) {
        const WavHeader header = wavHeader(bytes);
        EXPECT_EQ(header.riff, "RIFF");
        EXPECT_EQ(header.tag, 0xFFFE);
        EXPECT_EQ(header.bits, c.bits);
        EXPECT_EQ(header.mask, c.channels == 2 ? 0x3u : 0x3Fu) << file;
      }
      if (mkvmerge) {
        const testing::CommandResult info = testing::runCommand("mkvmerge -J " + file);
        EXPECT_EQ(info.status, 0) << info.output;
        EXPECT_NE(info.output.find("\"audio_channels\": " + std::to_string(c.channels)),
                  std::string::npos)
            << info.output;
      }
    }
  }
}

// Each packet's format byte; each file's format and the packets it holds.
TEST(PcmOutput, HeaderSequences) {
  struct Part {
    PcmFormat format;
    size_t first, end;
  };
  struct Case {
    std::vector<uint8_t> formats;
    std::vector<std::string> lines;
    std::vector<Part> parts;
  };
  const PcmFormat stereo16{16, 48000, 2, 0x3}, stereo24{24, 96000, 2, 0x3},
      stereo24at48{24, 48000, 2, 0x3};
  const Case cases[] = {
      // The two bytes left of the last 16-bit period are left out at the change.
      {{0x01, 0x01, 0x01, 0x91, 0x91, 0x91},
       {"Creating /out/s.wav",
        "LPCM stream A0 changes to 24 bits, 96 kHz, 2 channels: going on in /out/s.2.wav",
        "Creating /out/s.2.wav"},
       {{stereo16, 0, 3}, {stereo24, 3, 6}}},
      {{0x81, 0xF1, 0x81},
       {"Creating /out/s.wav",
        "LPCM stream A0 has a reserved quantisation code in a later header: its packets are "
        "read as the header before it says"},
       {{stereo24at48, 0, 3}}},
  };
  std::mt19937 random(3);
  constexpr size_t kPacket = 1002;
  for (const Case& c : cases) {
    const std::vector<uint8_t> payload = randomBytes(c.formats.size() * kPacket, random);
    PsWriter ps;
    for (size_t i = 0; i < c.formats.size(); ++i)
      ps.packHeader().dvdLpcm(kLpcm, c.formats[i], {payload.data() + i * kPacket, kPacket});
    testing::MemoryFileSystem files;
    RecordingHost console;
    auto output = makePcmOutput(files, console, {"/out/s", PcmForm::Wav, "/out/s.lpcm", false});
    demuxInto(ps.bytes(), *output);
    ASSERT_TRUE(output->finish().ok());
    EXPECT_EQ(console.lines, c.lines);
    ASSERT_EQ(output->files().size(), c.parts.size());
    for (size_t part = 0; part < c.parts.size(); ++part) {
      const Part& p = c.parts[part];
      const std::string path = pcmFilePath("/out/s", static_cast<int>(part) + 1, 0, PcmForm::Wav);
      EXPECT_EQ(output->files()[part], (OutputFile{path, FileForm::Wav}));
      LpcmDecoder decoder(p.format);
      std::vector<int32_t> expected[2];
      decoder.decode(payload.data() + p.first * kPacket, (p.end - p.first) * kPacket, expected);
      const std::optional<Sound> sound = readSound(*files.file(path));
      ASSERT_TRUE(sound);
      EXPECT_EQ(sound->rate, p.format.rate);
      EXPECT_EQ(sound->samples, expected[0]) << path;
    }
  }
}

TEST(PcmOutput, AudioObjectGroups) {
  struct File {
    int group;  // 0: one file for both groups
    int rate;
    uint32_t mask;
    std::vector<std::pair<int, int>> channels;  // (group, channel) of each channel in order
  };
  struct Case {
    const char* name;
    AobLpcmHeader header;
    int bits1, channels1, bits2, channels2, ratio;
    std::vector<File> files;
  };
  const Case cases[] = {
      {"stereo", {0x2F, 0x1F, 1}, 24, 2, 0, 0, 1, {{0, 96000, 0x3, {{1, 0}, {1, 1}}}}},
      {"L R / C LFE Ls Rs",
       {0x00, 0x00, 12},
       16,
       2,
       16,
       4,
       1,
       {{0, 48000, 0x3F, {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {2, 2}, {2, 3}}}}},
      {"L R Ls Rs / LFE",
       {0x22, 0x00, 18},
       24,
       4,
       24,
       1,
       1,
       {{0, 48000, 0x3B, {{1, 0}, {1, 1}, {2, 0}, {1, 2}, {1, 3}}}}},
      {"24 and 16 bits",
       {0x20, 0x00, 20},
       24,
       4,
       16,
       2,
       1,
       {{1, 48000, 0x33, {{1, 0}, {1, 1}, {1, 2}, {1, 3}}}, {2, 48000, 0xC, {{2, 0}, {2, 1}}}}},
      {"96 and 48 kHz",
       {0x11, 0x10, 3},
       20,
       2,
       20,
       2,
       2,
       {{1, 96000, 0x3, {{1, 0}, {1, 1}}}, {2, 48000, 0x30, {{2, 0}, {2, 1}}}}},
  };
  std::mt19937 random(5);
  for (const Case& c : cases) {
    constexpr size_t kUnits = 3000;
    const size_t periods1 = kUnits * 2 * static_cast<size_t>(c.ratio);
    AobGroupSamples g1{c.bits1, c.channels1,
                       randomSamples(periods1 * static_cast<size_t>(c.channels1), c.bits1, random)};
    AobGroupSamples g2{
        c.bits2, c.channels2,
        randomSamples(kUnits * 2 * static_cast<size_t>(c.channels2), c.bits2, random)};
    const std::vector<uint8_t> payload =
        testing::aobLpcmPayload(g1, c.channels2 > 0 ? &g2 : nullptr, c.ratio);
    PsWriter ps;
    for (size_t at = 0; at < payload.size(); at += 2001) {
      const size_t n = std::min<size_t>(2001, payload.size() - at);
      ps.packHeader().aobLpcm(kLpcm, c.header, {payload.data() + at, n});
    }
    for (PcmForm form : {PcmForm::Wav, PcmForm::Flac}) {
      testing::MemoryFileSystem files;
      RecordingHost console;
      auto output = makePcmOutput(files, console, {"/out/a", form, "/out/a.lpcm", true});
      demuxInto(ps.bytes(), *output, "/in/AUDIO_TS/ATS_01_1.AOB");
      ASSERT_TRUE(output->finish().ok()) << c.name;
      ASSERT_EQ(output->files().size(), c.files.size()) << c.name;
      for (const File& f : c.files) {
        const std::string path = pcmFilePath("/out/a", 1, f.group, form);
        EXPECT_EQ(output->files()[static_cast<size_t>(std::max(f.group, 1) - 1)].path, path);
        const std::vector<uint8_t>& bytes = *files.file(path);
        const std::optional<Sound> sound = readSound(bytes);
        ASSERT_TRUE(sound) << path;
        EXPECT_EQ(sound->rate, f.rate) << path;
        if (form == PcmForm::Wav) {
          EXPECT_EQ(wavHeader(bytes).mask, f.mask) << path;
        }
        ASSERT_EQ(sound->channels, std::ssize(f.channels)) << path;
        std::vector<int32_t> expected;
        const size_t periods = f.group == 2 ? kUnits * 2 : periods1;
        for (size_t p = 0; p < periods; ++p) {
          for (const auto& [group, channel] : f.channels) {
            const AobGroupSamples& g = group == 1 ? g1 : g2;
            expected.push_back(
                g.samples[p * static_cast<size_t>(g.channels) + static_cast<size_t>(channel)]);
          }
        }
        EXPECT_TRUE(sound->samples == expected) << c.name << ": " << path;
      }
    }
  }
}

TEST(PcmOutput, UnreadableFirstHeaderWritesTheStreamAsItStands) {
  struct Case {
    bool audioObject;
    const char* line;
  };
  const Case cases[] = {
      {false,
       "LPCM stream A0 has a reserved quantisation code in its first header: the stream is "
       "written as it stands"},
      {true,
       "LPCM stream A0 has a reserved channel assignment code in its first header: the stream "
       "is written as it stands"},
  };
  std::mt19937 random(9);
  for (const Case& c : cases) {
    const std::vector<uint8_t> payload = randomBytes(5000, random);
    PsWriter ps;
    for (size_t at = 0; at < payload.size(); at += 1000) {
      const std::span<const uint8_t> part(payload.data() + at, 1000);
      // The later headers are sound: the stream stays as it stands all the same.
      if (c.audioObject)
        ps.packHeader().aobLpcm(kLpcm, {0x0F, 0x0F, static_cast<uint8_t>(at == 0 ? 25 : 1)}, part);
      if (!c.audioObject) ps.packHeader().dvdLpcm(kLpcm, at == 0 ? 0xC1 : 0x01, part);
    }
    testing::MemoryFileSystem files;
    RecordingHost console;
    auto output =
        makePcmOutput(files, console, {"/out/[x]", PcmForm::Flac, "/out/[x].lpcm", c.audioObject});
    demuxInto(ps.bytes(), *output, c.audioObject ? "/in/ATS_01_1.AOB" : "/in/VTS_01_1.VOB");
    ASSERT_TRUE(output->finish().ok());
    EXPECT_EQ(console.lines, (std::vector<std::string>{c.line, "Creating /out/[[x].lpcm"}));
    EXPECT_EQ(output->files(), (std::vector<OutputFile>{{"/out/[x].lpcm", FileForm::Raw}}));
    EXPECT_EQ(*files.file("/out/[x].lpcm"), payload);
    EXPECT_EQ(files.file("/out/[x].flac"), nullptr);
  }
}

TEST(PcmOutput, FileFaultsComeBackAsStatus) {
  struct Case {
    const char* name;
    PcmForm form;
    uint8_t format;       // the first header's format byte
    const char* refused;  // a create refused under this prefix, or nothing
    uint64_t space;       // bytes the output folder holds
    Status::Code code;
    const char* failedPath;
  };
  const Case cases[] = {
      {"refused", PcmForm::Wav, 0x01, "/out/", 1 << 30, Status::Code::CreateFailed, "/out/s.wav"},
      {"no room for the header", PcmForm::Wav, 0x01, nullptr, 20, Status::Code::WriteFailed,
       "/out/s.wav"},
      {"full disk", PcmForm::Wav, 0x81, nullptr, 30000, Status::Code::WriteFailed, "/out/s.wav"},
      {"full disk, FLAC", PcmForm::Flac, 0x81, nullptr, 30000, Status::Code::WriteFailed,
       "/out/s.flac"},
      {"raw refused", PcmForm::Wav, 0xC1, "/out/s.lpcm", 1 << 30, Status::Code::CreateFailed,
       "/out/s.lpcm"},
      {"raw full disk", PcmForm::Wav, 0xC1, nullptr, 30000, Status::Code::WriteFailed,
       "/out/s.lpcm"},
  };
  std::mt19937 random(13);
  const std::vector<uint8_t> payload = randomBytes(2000, random);
  for (const Case& c : cases) {
    testing::MemoryFileSystem files;
    if (c.refused != nullptr) files.refuseCreate(c.refused, "Permission denied");
    files.limitSpace("/out/", c.space);
    RecordingHost console;
    auto output = makePcmOutput(files, console, {"/out/s", c.form, "/out/s.lpcm", false});
    Status first;
    for (int packet = 0; packet < 200 && first.ok(); ++packet) {
      PieceContext context{.packetStart = true, .id = kLpcm};
      const uint8_t header[3] = {0x00, c.format, 0x80};
      context.privateHeader = header;
      first = output->piece(payload.data(), payload.size(), context);
    }
    const Status finished = output->finish();
    if (first.ok()) first = finished;
    EXPECT_EQ(first.code(), c.code) << c.name;
    EXPECT_EQ(finished, first) << c.name;
    EXPECT_EQ(output->status(), first) << c.name;
    EXPECT_EQ(output->failedPath(), c.failedPath) << c.name;
    EXPECT_EQ(output->piece(payload.data(), payload.size(), {}), first) << c.name;
    if (c.code == Status::Code::WriteFailed) {
      EXPECT_EQ(first.reason(), std::strerror(ENOSPC)) << c.name;
    }
    output.reset();
    EXPECT_EQ(files.openFiles(), 0) << c.name;
  }
}

// A WAV file becomes RF64 once it passes 4 GiB: 2^30 + 2^20 periods of 16-bit stereo, written
// as data bytes (the decoder's part is the same below 4 GiB and above).
TEST(PcmOutput, WavPastFourGibIsRf64) {
  testing::MemoryFileSystem files;
  files.keepHead("/out/", 4096);
  std::unique_ptr<SoundFile> sound;
  ASSERT_TRUE(
      SoundFile::create(files, "/out/big.wav", PcmForm::Wav, {16, 48000, 2, 0x3}, &sound).ok());
  const std::vector<uint8_t> data(1 << 22, 0x5A);
  const uint64_t total = (uint64_t{1} << 32) + (uint64_t{1} << 22);
  for (uint64_t at = 0; at < total; at += data.size())
    ASSERT_TRUE(sound->writeWav(data.data(), data.size()).ok());
  ASSERT_TRUE(sound->close().ok());
  const std::vector<uint8_t>& head = *files.file("/out/big.wav");
  const auto u64 = [&head](size_t at) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i)
      v |= uint64_t{head[at + i]} << (8 * i);
    return v;
  };
  EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RF64");
  EXPECT_EQ(std::string(head.begin() + 12, head.begin() + 16), "ds64");
  EXPECT_EQ(u64(20), total + 112 - 8);  // the RIFF size: a header of 112 bytes, the data
  EXPECT_EQ(u64(28), total);            // the data size
  EXPECT_EQ(u64(36), total / 4);        // the sample periods
  EXPECT_EQ(wavHeader(head).mask, 0x3u);
}

}  // namespace
}  // namespace korvell
