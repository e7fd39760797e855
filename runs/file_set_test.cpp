#include "runs/file_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testing/temp_folder.h"

namespace korvell {
namespace {

namespace fs = std::filesystem;

// A scratch folder with files made on request.
class TempFolder {
 public:
  std::string file(const std::string& name, bool create = true) const {
    const auto p = folder_ / name;
    if (create) std::ofstream(p) << "x";
    return p.string();
  }
  std::string str() const { return folder_.path().string(); }

 private:
  testing::TempFolder folder_;
};

TEST(FileSet, CutExt) {
  EXPECT_EQ(CutExt("FEATURE_1.EVO"), "FEATURE_1");
  EXPECT_EQ(CutExt("a.b.EVO"), "a.b");
  EXPECT_EQ(CutExt("MOVIE"), "MOVIE");
  EXPECT_EQ(CutExt(".EVO"), "");
  EXPECT_EQ(CutExt("dir.x/MOVIE"), "dir.x/MOVIE");  // a dot in a folder is no extension
}

TEST(FileSet, GetsecondCandidates) {
  struct Case {
    const char* chosen;
    const char* candidate;  // empty: no candidate at all
  };
  const Case cases[] = {
      {"FEATURE_1.EVO", "FEATURE_2.EVO"},
      {"FEATURE_2.EVO", "FEATURE_3.EVO"},
      {"FEATURE_9.EVO", ""},
      {"FEATURE_10.EVO", "FEATURE_20.EVO"},
      {"PART1_A.EVO", "PART2_A.EVO"},
      {"PART1_9.EVO", "PART2_9.EVO"},
      {"VTS_01_1.VOB", "VTS_11_1.VOB"},
      {"A_B_1.EVO", ""},
      {"MOVIE.EVO", ""},
      {"_1.EVO", "_2.EVO"},
      {"1_.EVO", "2_.EVO"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string chosen = folder.file(c.chosen);
    EXPECT_EQ(getsecond(chosen), "") << c.chosen << ": the candidate does not exist yet";
    if (*c.candidate == '\0') continue;
    const std::string candidate = folder.file(c.candidate);
    EXPECT_EQ(getsecond(chosen), candidate) << c.chosen;
  }
}

TEST(FileSet, BaseNameOfTheSet) {
  TempFolder folder;
  const std::string first = folder.file("FEATURE_1.EVO");
  EXPECT_EQ(prepareFileSet(first, true).baseName, "FEATURE_1");
  const std::string second = folder.file("FEATURE_2.EVO");
  const FileSet set = prepareFileSet(first, true);
  EXPECT_EQ(set.baseName, "FEATURE_1_FEATURE_2");
  EXPECT_EQ(set.secondFile, second);
  EXPECT_EQ(prepareFileSet(first, false).baseName, "FEATURE_1");
  EXPECT_EQ(prepareFileSet(first, false).secondFile, "");
  folder.file("FEATURE_3.EVO");
  EXPECT_EQ(prepareFileSet(second, true).baseName, "FEATURE_2_FEATURE_3");
}

TEST(FileSet, OutputNames) {
  FileSet set{"/in/HVDVD_TS/FEATURE_1.EVO", "/in/HVDVD_TS/FEATURE_2.EVO", "FEATURE_1_FEATURE_2"};
  EXPECT_EQ(outputPrefix("/out", set), "/out/FEATURE_1_FEATURE_2");
  EXPECT_EQ(outputPrefix("/out/", set), "/out/FEATURE_1_FEATURE_2");
  EXPECT_EQ(outputPrefix("", set), "/in/HVDVD_TS/FEATURE_1_FEATURE_2");
  const std::string prefix = outputPrefix("/out", set);
  struct Case {
    Slot slot;
    int32_t id;
    const char* ext;
    const char* file;
  };
  const Case cases[] = {
      {{Family::Video, 0}, 0x55, "mpv", "/out/FEATURE_1_FEATURE_2.VC-1.stream.0.mpv"},
      {{Family::Audio, 0}, 0xC0, "mpa", "/out/FEATURE_1_FEATURE_2.DD+.stream.00.mpa"},
      {{Family::Audio, 1}, 0xB1, "mpa", "/out/FEATURE_1_FEATURE_2.MLP.stream.01.mpa"},
      {{Family::Subpicture, 0}, 0x20, "sup", "/out/FEATURE_1_FEATURE_2.Subpicture.00.sup"},
      {{Family::Subpicture, 12}, 0x6C, "sup", "/out/FEATURE_1_FEATURE_2.Ext.Subpicture.12.sup"},
      {{Family::Audio, 2}, 0x8A, "", "/out/FEATURE_1_FEATURE_2.DTSHD.stream.02."},
      {{Family::Video, 1}, 0xE3, "mpv", "/out/FEATURE_1_FEATURE_2.H.264.stream.1.mpv"},
      {{Family::Audio, 1}, 0xA1, "mpa", "/out/FEATURE_1_FEATURE_2.LPCM.stream.01.mpa"},
      {{Family::Audio, 5}, 0x85, "mpa", "/out/FEATURE_1_FEATURE_2.DD.stream.05.mpa"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(streamFileName(prefix, streamLabelFor(c.slot, c.id), c.ext), c.file);
  }
  EXPECT_EQ(VideoLabel(-1), "No video stream");
  EXPECT_EQ(AudioLabel(-1), "No audio stream");
  EXPECT_EQ(SubLabel(-1), "No subpicture stream");
}

TEST(FileSet, NamePartsFromThePlaylistStayInsideTheFolder) {
  struct Case {
    std::string label;
    std::string cleaned;
  };
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  const Case cases[] = {
      {"DD+.6ch.stream.00.English", "DD+.6ch.stream.00.English"},
      {"Eng/../../x", "Eng_.__.__x"},
      {"..\\..\\evil", ".__.__evil"},
      {std::string("a\0b\tc\x7F", 6), "a_b_c_"},
      {"Fran\xC3\xA7"
       "ais [x]",
       "Fran\xC3\xA7"
       "ais [x]"},
      {std::string(99, 'a') + euro, std::string(99, 'a')},  // never half a character
      {std::string(97, 'a') + euro + "b", std::string(97, 'a') + euro},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cleanNamePart(c.label), c.cleaned) << c.label;
    const fs::path name = streamFileName("/out/BASE", c.label, "mpa");
    EXPECT_EQ(name.parent_path(), fs::path("/out")) << c.label;
  }
}

TEST(FileSet, DiscFoldersBesideEachOther) {
  EXPECT_EQ(discPlaylistFolder("/disc/HVDVD_TS/"), "/disc/ADV_OBJ/");
  EXPECT_EQ(discSourceFolder("/disc/ADV_OBJ/"), "/disc/HVDVD_TS/");
  EXPECT_EQ(discPlaylistFolder("HVDVD_TS/"), "ADV_OBJ/");
  EXPECT_EQ(discPlaylistFolder("/disc/hvdvd_ts/"), "");
  EXPECT_EQ(discPlaylistFolder("/disc/XHVDVD_TS/"), "/disc/XADV_OBJ/");  // the last 9 characters
  EXPECT_EQ(discPlaylistFolder("/disc/HVDVD_TS"), "");
  EXPECT_EQ(discPlaylistPath("/disc/HVDVD_TS/FEATURE_1.EVO"), "/disc/ADV_OBJ/VPLST000.XPL");
  EXPECT_EQ(discPlaylistPath("FEATURE_1.EVO"), "");
}

}  // namespace
}  // namespace korvell
