// The Demux run's output forms through the run: which files each choice writes, with which
// names, forms and console lines, and what the Read run's findings and the title put in them.
#include "runs/output_forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "outputs/dvd_palette.h"
#include "runs/demux_run.h"
#include "runs/read_run.h"
#include "runs/run_report.h"
#include "testing/ps_writer.h"
#include "testing/recording_host.h"
#include "testing/subpicture_writer.h"
#include "testing/temp_folder.h"
#include "testing/test_files.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;
using testing::PsWriter;
using testing::RecordingHost;

constexpr uint32_t kVideoPts = 90000;
constexpr uint8_t kLpcmFormat = 0x01;  // 16 bits, 48 kHz, 2 channels

// 720x576 at 25 frames/s: 00 00 01 B3, horizontal 0x2D0, vertical 0x240, 4:3, code 3.
const std::vector<uint8_t> kSequenceHeader = {0,    0,    1,    0xB3, 0x2D, 0x02, 0x40, 0x23,
                                              0xFF, 0xFF, 0xE0, 0x18, 0,    0,    1,    0};

std::vector<uint8_t> twoBitUnit(uint16_t width) {
  testing::UnitPicture picture;
  picture.x = 100;
  picture.y = 400;
  picture.width = width;
  picture.height = 4;
  picture.pixels.resize(size_t{width} * 4);
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = static_cast<uint8_t>(i / 3 % 4);
  return testing::writeSubpictureUnit(picture);
}

std::vector<uint8_t> eightBitUnit() {
  testing::UnitPicture picture;
  picture.eightBit = true;
  picture.width = 8;
  picture.height = 2;
  picture.pixels.assign(16, 7);
  testing::fillVariedPalette(picture);
  return testing::writeSubpictureUnit(picture);
}

// A DVD VOB: MPEG-2 video from kVideoPts, AC-3 0x81 (audio slot 1), LPCM 0xA0 (slot 0), a
// subpicture stream 0x21 (slot 1) of two units and an extended one 0x60 (slot 0).
class OutputFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_.path() / "out");
    input_ = (folder_.path() / "VTS_01_1.VOB").string();
    settings_.inputPath = input_;
    settings_.outputFolder = (folder_.path() / "out").string();
    state_.options.Continue = false;
    writeVob(kLpcmFormat, twoBitUnit(40));
  }

  void writeVob(uint8_t lpcmFormat, const std::vector<uint8_t>& firstUnit) {
    PsWriter ps;
    ps.packHeader().systemHeader(1, 2).fillPack();
    std::vector<uint8_t> video = kSequenceHeader;
    video.resize(600, 0x55);
    ps.packHeader().pes(0xE0, video, {.pts = kVideoPts, .dts = kVideoPts}).fillPack();
    ps.packHeader()
        .privateStream1(0x81, std::vector<uint8_t>(300, 0x0B), {.pts = 89100})
        .fillPack();
    lpcm_.clear();
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> samples(1000);
      for (size_t k = 0; k < samples.size(); ++k)
        samples[k] = static_cast<uint8_t>(k * 7 + i);
      ps.packHeader()
          .dvdLpcm(0xA0, i == 0 ? lpcmFormat : kLpcmFormat, samples,
                   {.pts = kVideoPts + static_cast<uint32_t>(i) * 450})
          .fillPack();
      lpcm_.insert(lpcm_.end(), samples.begin(), samples.end());
    }
    const std::vector<uint8_t> units[] = {firstUnit, twoBitUnit(300)};
    for (size_t u = 0; u < 2; ++u) {
      const uint32_t pts = kVideoPts + 90000 * static_cast<uint32_t>(u + 1);
      for (const testing::SubpicturePacket& packet : testing::packetizeUnit(units[u], pts, 1000))
        ps.packHeader().privateStream1(0x21, packet.payload, {.pts = packet.pts}).fillPack();
    }
    for (const testing::SubpicturePacket& packet :
         testing::packetizeUnit(eightBitUnit(), kVideoPts + 45000, 1000))
      ps.packHeader().privateStream1(0x60, packet.payload, {.pts = packet.pts}).fillPack();
    testing::writeFileBytes(input_, ps.bytes());
  }

  // A Read run, then a Demux run of every stream with the settings; the demux's console.
  RecordingHost demux() {
    RecordingHost read;
    EXPECT_EQ(readRun(state_, read, settings_), RunOutcome::Done) << read.transcript();
    RecordingHost host;
    EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::Done) << host.transcript();
    return host;
  }

  std::string out(const std::string& name) const {
    return (folder_.path() / "out" / ("VTS_01_1." + name)).string();
  }
  const std::vector<OutputFile>& filesOf(Family family, int slot) const {
    return state_.written.streams[static_cast<size_t>(slotNumber({family, slot}))];
  }

  testing::TempFolder folder_;
  std::string input_;
  RunState state_;
  RunSettings settings_;
  std::vector<uint8_t> lpcm_;
};

std::vector<std::string> created(const RecordingHost& host) {
  std::vector<std::string> paths;
  for (const std::string& line : host.lines)
    if (line.starts_with("Creating ")) paths.push_back(line.substr(9));
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST_F(OutputFormsTest, EachChoiceWritesItsFilesAndAnnouncesEachOnce) {
  struct Case {
    const char* name;
    LpcmForm lpcm;
    SubpictureForm subs;
    bool byCodec;
    uint8_t lpcmFormat;  // of the first LPCM header
    // The files of video 0, LPCM (audio 0), AC-3 (audio 1), subpictures 1 and 0, as
    // "NAME:FORMAT" after "VTS_01_1.".
    std::vector<std::vector<std::string>> files;
    const char* line;  // a line the run must also log, or null
  };
  const Case cases[] = {
      {"the default forms",
       LpcmForm::Raw,
       SubpictureForm::SupRecords,
       false,
       kLpcmFormat,
       {{"MPEG-2.stream.0.mpv:raw"},
        {"LPCM.stream.00.mpa:raw"},
        {"DD.stream.01.mpa:raw"},
        {"Subpicture.01.sup:sup"},
        {"Ext.Subpicture.00.sup:sup"}},
       nullptr},
      {"named by codec",
       LpcmForm::Raw,
       SubpictureForm::SupRecords,
       true,
       kLpcmFormat,
       {{"MPEG-2.stream.0.m2v:raw"},
        {"LPCM.stream.00.lpcm:raw"},
        {"DD.stream.01.ac3:raw"},
        {"Subpicture.01.sup:sup"},
        {"Ext.Subpicture.00.sup:sup"}},
       nullptr},
      {"WAV and VobSub",
       LpcmForm::Wav,
       SubpictureForm::VobSub,
       false,
       kLpcmFormat,
       {{"MPEG-2.stream.0.mpv:raw"},
        {"LPCM.stream.00.wav:wav"},
        {"DD.stream.01.mpa:raw"},
        {"Subpicture.01.idx:idx", "Subpicture.01.sub:sub"},
        {"Ext.Subpicture.00.sup:sup"}},
       "Subpicture stream 0x60 holds 8-bit (HD DVD) subpictures, which VobSub cannot carry: it "
       "is written as .sup records instead"},
      {"FLAC and PGS by codec",
       LpcmForm::Flac,
       SubpictureForm::Pgs,
       true,
       kLpcmFormat,
       {{"MPEG-2.stream.0.m2v:raw"},
        {"LPCM.stream.00.flac:flac"},
        {"DD.stream.01.ac3:raw"},
        {"Subpicture.01.sup:pgs"},
        {"Ext.Subpicture.00.sup:pgs"}},
       nullptr},
      {"a damaged first LPCM header goes as it stands",
       LpcmForm::Wav,
       SubpictureForm::SupRecords,
       true,
       0xC1,
       {{"MPEG-2.stream.0.m2v:raw"},
        {"LPCM.stream.00.lpcm:raw"},
        {"DD.stream.01.ac3:raw"},
        {"Subpicture.01.sup:sup"},
        {"Ext.Subpicture.00.sup:sup"}},
       "LPCM stream A0 has a reserved quantisation code in its first header: the stream is "
       "written as it stands"},
  };
  const Slot slots[] = {{Family::Video, 0},
                        {Family::Audio, 0},
                        {Family::Audio, 1},
                        {Family::Subpicture, 1},
                        {Family::Subpicture, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_.path() / "out");
    fs::create_directories(folder_.path() / "out");
    writeVob(c.lpcmFormat, twoBitUnit(40));
    state_ = RunState();
    state_.options.Continue = false;
    settings_.lpcmForm = c.lpcm;
    settings_.subpictureForm = c.subs;
    settings_.codecExtensions = c.byCodec;
    const RecordingHost host = demux();
    std::vector<std::string> written;
    for (size_t s = 0; s < std::size(slots); ++s) {
      std::vector<std::string> named;
      for (const OutputFile& file : filesOf(slots[s].family, slots[s].index)) {
        EXPECT_TRUE(fs::exists(file.path)) << file.path;
        named.push_back(fs::path(file.path).filename().string().substr(9) + ":" +
                        fileFormName(file.form));
        written.push_back(file.path);
      }
      EXPECT_EQ(named, c.files[s]) << slotName(slots[s]);
    }
    // One "Creating" line for each file written, none for a file that was not.
    std::sort(written.begin(), written.end());
    EXPECT_EQ(created(host), written) << host.transcript();
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(folder_.path() / "out"),
                                                fs::directory_iterator())),
              written.size());
    if (c.line != nullptr) {
      EXPECT_NE(std::find(host.lines.begin(), host.lines.end(), c.line), host.lines.end())
          << host.transcript();
    }
    // The report names the same files, each stream's first as its "file".
    const RunReport report = buildRunReport(state_);
    EXPECT_EQ(report.writtenFiles.size(), written.size());
    for (const ReportStream& stream : report.streams) {
      if (stream.files.empty()) continue;
      EXPECT_EQ(stream.file, stream.files.front().path);
    }
  }
}

TEST_F(OutputFormsTest, TheDefaultFormsKeepTheStreamsAsTheyStand) {
  demux();
  EXPECT_EQ(testing::readFileBytes(out("LPCM.stream.00.mpa")), lpcm_);
  const std::vector<uint8_t> ac3 = testing::readFileBytes(out("DD.stream.01.mpa"));
  EXPECT_EQ(ac3, std::vector<uint8_t>(300, 0x0B));
}

// 16-bit DVD LPCM is big-endian; the WAV's data chunk holds the same samples little-endian.
TEST_F(OutputFormsTest, WavHoldsTheSamplesOfTheStream) {
  settings_.lpcmForm = LpcmForm::Wav;
  demux();
  const std::vector<uint8_t> wav = testing::readFileBytes(out("LPCM.stream.00.wav"));
  const auto data = std::search(wav.begin(), wav.end(), std::begin("data"), std::end("data") - 1);
  ASSERT_NE(data, wav.end());
  const std::vector<uint8_t> samples(data + 8, wav.end());
  ASSERT_EQ(samples.size(), lpcm_.size());
  for (size_t i = 0; i + 1 < lpcm_.size(); i += 2) {
    ASSERT_EQ(samples[i], lpcm_[i + 1]) << i;
    ASSERT_EQ(samples[i + 1], lpcm_[i]) << i;
  }
}

TEST_F(OutputFormsTest, VobSubTakesTheVideoSizeTheSlotAndTheTitlesLanguageAndPalette) {
  settings_.subpictureForm = SubpictureForm::VobSub;
  settings_.delayNames = true;
  Title title;
  // A stream of another identifier with the same low bits and number comes first: the
  // language is the one of the stream whose identifier is 0x21.
  title.streams = {{Family::Subpicture, 0x61, 1, "fr"}, {Family::Subpicture, 0x21, 1, "de"}};
  title.palette = std::array<uint32_t, 16>{0x00EB8080, 0x00108080};
  // The title plays the whole input file and names the outputs as the file would; its
  // languages go into the labels.
  title.baseName = "VTS_01_1";
  title.extents = {{input_, 0, std::filesystem::file_size(input_)}};
  settings_.title = title;
  demux();
  // On video 0's timeline: no delay; the ".sup" records of the 8-bit stream keep theirs.
  const std::vector<uint8_t> idx = testing::readFileBytes(out("Subpicture.01.de DELAY 0ms.idx"));
  const std::string text(idx.begin(), idx.end());
  EXPECT_NE(text.find("size: 720x576\n"), std::string::npos) << text;
  EXPECT_NE(text.find("palette: ffffff, 000000, "), std::string::npos) << text;
  EXPECT_NE(text.find("id: de, index: 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("timestamp: 00:00:01:000, filepos: 000000000\n"), std::string::npos);
  const std::vector<uint8_t> sub = testing::readFileBytes(out("Subpicture.01.de DELAY 0ms.sub"));
  ASSERT_GE(sub.size(), 2048u);
  // Pack header 14, PES header 9 + PTS 5, then the substream of slot 1.
  EXPECT_EQ(sub[14 + 9 + 5], 0x21);
  EXPECT_TRUE(fs::exists(out("Ext.Subpicture.00 DELAY -10ms.sup")));
}

TEST_F(OutputFormsTest, PgsCoversTheVideoFrameOfTheReadRun) {
  settings_.subpictureForm = SubpictureForm::Pgs;
  demux();
  const std::vector<uint8_t> sup = testing::readFileBytes(out("Subpicture.01.sup"));
  // "PG", PTS, DTS, then the presentation composition segment (0x16): its size, then the
  // frame's width and height.
  ASSERT_GE(sup.size(), 17u);
  EXPECT_EQ(sup[0], 'P');
  EXPECT_EQ(sup[10], 0x16);
  EXPECT_EQ(sup[13] << 8 | sup[14], 720);
  EXPECT_EQ(sup[15] << 8 | sup[16], 576);
}

// A unit whose size field runs past its data (the next unit starts first) is skipped, with
// one line saying so; the others are written.
TEST_F(OutputFormsTest, AUnitLongerThanItsDataIsSkippedWithOneLine) {
  std::vector<uint8_t> damaged = twoBitUnit(40);
  const size_t claimed = damaged.size() + 500;
  damaged[0] = static_cast<uint8_t>(claimed >> 8);
  damaged[1] = static_cast<uint8_t>(claimed);
  writeVob(kLpcmFormat, damaged);
  struct Case {
    SubpictureForm form;
    std::string line;
  };
  const Case cases[] = {
      {SubpictureForm::VobSub,
       "1 damaged or incomplete subpicture unit skipped in " + out("Subpicture.01.sub")},
      {SubpictureForm::Pgs,
       "Subpicture stream 0x21 as PGS: 1 damaged units dropped; 1 written from 1 units."},
  };
  for (const Case& c : cases) {
    state_ = RunState();
    state_.options.Continue = false;
    settings_.subpictureForm = c.form;
    const RecordingHost host = demux();
    EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), c.line), 1) << host.transcript();
  }
  const std::vector<uint8_t> idx = testing::readFileBytes(out("Subpicture.01.idx"));
  const std::string text(idx.begin(), idx.end());
  EXPECT_EQ(text.find("timestamp: 00:00:01:000"), std::string::npos) << text;
  EXPECT_NE(text.find("timestamp: 00:00:02:000"), std::string::npos) << text;
}

// Files an output creates during the pass are held to the same rule as the others: never
// one of the run's inputs, and a create that fails ends the run with its message.
TEST_F(OutputFormsTest, LateFilesNeverReplaceAnInputAndTheirFailuresEndTheRun) {
  settings_.lpcmForm = LpcmForm::Wav;
  const std::vector<uint8_t> before = testing::readFileBytes(input_);
  fs::create_symlink(input_, out("LPCM.stream.00.wav"));
  RecordingHost read;
  ASSERT_EQ(readRun(state_, read, settings_), RunOutcome::Done);
  RecordingHost host;
  EXPECT_EQ(demuxRun(state_, host, settings_), RunOutcome::Failed);
  EXPECT_EQ(testing::readFileBytes(input_), before);
  EXPECT_NE(host.transcript().find("Cannot create file \"" + out("LPCM.stream.00.wav") +
                                   "\". It is an input file of this run.\n"),
            std::string::npos)
      << host.transcript();
  EXPECT_EQ(host.transcript().find("Done."), std::string::npos);

  fs::remove(out("LPCM.stream.00.wav"));
  fs::create_directory(out("Subpicture.01.idx"));  // a folder where the file would go
  settings_.lpcmForm = LpcmForm::Raw;
  settings_.subpictureForm = SubpictureForm::VobSub;
  RecordingHost second;
  EXPECT_EQ(demuxRun(state_, second, settings_), RunOutcome::Failed);
  EXPECT_NE(second.transcript().find("Cannot create file \"" + out("Subpicture.01.idx") + "\""),
            std::string::npos)
      << second.transcript();
}

// A DVD-Audio object's LPCM carries headers of its own layout: the run hands the output the
// kind of source, so the stream comes out as the WAV its header describes.
TEST_F(OutputFormsTest, AudioObjectLpcmIsReadWithItsOwnHeaders) {
  PsWriter ps;
  for (uint32_t i = 0; i < 3; ++i) {
    ps.packHeader()
        .aobLpcm(0xA0, {}, std::vector<uint8_t>(1000, static_cast<uint8_t>(i + 1)),
                 {.pts = kVideoPts + i * 900})
        .fillPack();
  }
  settings_.inputPath = (folder_.path() / "ATS_01_1.AOB").string();
  testing::writeFileBytes(settings_.inputPath, ps.bytes());
  settings_.lpcmForm = LpcmForm::Wav;
  const RecordingHost host = demux();
  const std::string wav = (folder_.path() / "out" / "ATS_01_1.LPCM.stream.00.wav").string();
  EXPECT_EQ(filesOf(Family::Audio, 0), (std::vector<OutputFile>{{wav, FileForm::Wav}}))
      << host.transcript();
  const std::vector<uint8_t> bytes = testing::readFileBytes(wav);
  const auto fmt =
      std::search(bytes.begin(), bytes.end(), std::begin("fmt "), std::end("fmt ") - 1);
  ASSERT_GE(bytes.end() - fmt, 12);
  EXPECT_EQ(fmt[10], 2);  // the fmt chunk's channel count: the default header's stereo
}

TEST(OutputForms, ExtensionsAndDelaysByForm) {
  RunSettings settings;
  const StreamKindInfo* ac3 = registeredKind(Family::Audio, 0x80);
  const StreamKindInfo* mlp = registeredKind(Family::Audio, 0xA1, true);
  EXPECT_EQ(rawExtension(ac3, Family::Audio, settings), "mpa");
  settings.codecExtensions = true;
  EXPECT_EQ(rawExtension(ac3, Family::Audio, settings), "ac3");
  EXPECT_EQ(rawExtension(mlp, Family::Audio, settings), "mlp");
  EXPECT_EQ(rawExtension(nullptr, Family::Video, settings), "mpv");  // no kind: the field

  RunState state;
  state.results.videoTimes[0].firstPts = 90450;
  state.results.firstPtsMin = 90000;
  state.results.subTimes[2].firstPts = 90000 + 5 * 90000;
  const Slot sub{Family::Subpicture, 2};
  EXPECT_EQ(fileDelayMs(state, sub, FileForm::SupRecords), -5);
  EXPECT_EQ(fileDelayMs(state, sub, FileForm::VobSubIndex), 0);
  EXPECT_EQ(fileDelayMs(state, sub, FileForm::Pgs), 0);
  state.results.videoTimes[0].firstPts.reset();
  EXPECT_EQ(fileDelayMs(state, sub, FileForm::Pgs), std::nullopt);
}

}  // namespace
}  // namespace korvell
