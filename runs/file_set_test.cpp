#include "runs/file_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

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
      // A DVD title set's VOB has no second file: VTS_11_1.VOB is another title set's.
      {"VTS_01_1.VOB", ""},
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

TEST(FileSet, TitleSetVobNames) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"VTS_01_1.VOB", 1},  {"vts_12_9.vob", 9},           {"Vts_01_0.Vob", 0},
      {"VTS_1_1.VOB", {}},  {"VTS_01_10.VOB", {}},         {"VTS_01_1.EVO", {}},
      {"VIDEO_TS.VOB", {}}, {"XTS_01_1.VOB", {}},          {"VTS_0A_1.VOB", {}},
      {"VTS-01_1.VOB", {}}, {"/VIDEO_TS/VTS_01_1.VOB", {}}};  // a name part only
  for (const auto& [name, part] : cases)
    EXPECT_EQ(titleSetVobPart(name), part) << name;
}

// A title set's VOB files continue in the first pass as far as they exist; every other set
// keeps its second pass.
TEST(FileSet, TitleSetVobsContinueInOnePass) {
  struct Case {
    std::vector<const char*> files;  // the first is the chosen input
    bool continueOn;
    std::vector<const char*> firstPass;
    const char* baseName;
    const char* secondPass;  // empty: none
  };
  const Case cases[] = {
      {{"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_11_1.VOB", "VTS_02_1.VOB"},
       true,
       {"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB"},
       "VTS_01",
       ""},
      {{"vts_03_1.vob", "vts_03_2.vob"}, true, {"vts_03_1.vob", "vts_03_2.vob"}, "vts_03", ""},
      {{"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_4.VOB"},
       true,
       {"VTS_01_1.VOB", "VTS_01_2.VOB"},
       "VTS_01",
       ""},
      {{"VTS_01_2.VOB", "VTS_01_1.VOB", "VTS_01_3.VOB", "VTS_01_4.VOB"},
       true,
       {"VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_01_4.VOB"},
       "VTS_01_2-4",
       ""},
      {{"VTS_01_1.VOB", "VTS_11_1.VOB"}, true, {"VTS_01_1.VOB"}, "VTS_01_1", ""},
      {{"VTS_01_0.VOB", "VTS_01_1.VOB"}, true, {"VTS_01_0.VOB"}, "VTS_01_0", ""},
      {{"VTS_01_8.VOB", "VTS_01_9.VOB"}, true, {"VTS_01_8.VOB", "VTS_01_9.VOB"}, "VTS_01_8-9", ""},
      {{"VTS_01_1.VOB", "VTS_01_2.VOB"}, false, {"VTS_01_1.VOB"}, "VTS_01_1", ""},
      {{"FEATURE_1.EVO", "FEATURE_2.EVO"},
       true,
       {"FEATURE_1.EVO"},
       "FEATURE_1_FEATURE_2",
       "FEATURE_2.EVO"},
      {{"MOVIE_1.VOB", "MOVIE_2.VOB"}, true, {"MOVIE_1.VOB"}, "MOVIE_1_MOVIE_2", "MOVIE_2.VOB"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    for (const char* name : c.files)
      folder.file(name);
    const FileSet set = prepareFileSet(folder.file(c.files[0], false), c.continueOn);
    SCOPED_TRACE(c.files[0] + std::string(c.continueOn ? " continued" : " alone"));
    ASSERT_EQ(set.passes.size(), *c.secondPass ? 2u : 1u);
    std::vector<FileExtent> expected;
    for (const char* name : c.firstPass)
      expected.push_back({folder.file(name, false), 0, 0});
    EXPECT_EQ(set.passes[0].extents, expected);
    EXPECT_TRUE(set.passes[0].wholeFiles);
    EXPECT_EQ(set.baseName, c.baseName);
    EXPECT_EQ(set.firstPath, folder.file(c.files[0], false));
    EXPECT_EQ(set.titleNumber, 0);
    if (*c.secondPass) {
      EXPECT_EQ(set.secondFile, folder.file(c.secondPass, false));
      EXPECT_EQ(set.passes[1].extents,
                (std::vector<FileExtent>{{folder.file(c.secondPass, false), 0, 0}}));
    } else {
      EXPECT_EQ(set.secondFile, "");
    }
  }
}

TEST(FileSet, ATitleIsOnePassOverItsExtentsInPlayOrder) {
  Title title;
  title.number = 2;
  title.baseName = "VTS_01_TITLE_2";
  title.extents = {{"/d/VIDEO_TS/VTS_01_2.VOB", 4096, 2048},
                   {"/d/VIDEO_TS/VTS_01_1.VOB", 0, 8192},
                   {"/d/VIDEO_TS/VTS_01_2.VOB", 0, 2048}};
  FileSet set = titleFileSet(title);
  ASSERT_EQ(set.passes.size(), 1u);
  EXPECT_EQ(set.passes[0].extents, title.extents);
  EXPECT_FALSE(set.passes[0].wholeFiles);
  EXPECT_EQ(set.titleNumber, 2);
  EXPECT_EQ(set.secondFile, "");
  EXPECT_EQ(set.inputs(),
            (std::vector<std::string>{"/d/VIDEO_TS/VTS_01_2.VOB", "/d/VIDEO_TS/VTS_01_1.VOB"}));
  EXPECT_EQ(outputPrefix("", set), "/d/VIDEO_TS/VTS_01_TITLE_2");
  EXPECT_EQ(outputPrefix("/out", set), "/out/VTS_01_TITLE_2");
  title.angle = 3;
  EXPECT_EQ(titleFileSet(title).baseName, "VTS_01_TITLE_2_ANGLE_3");
  title.baseName = "../x";  // names from outside stay inside the output folder
  EXPECT_EQ(outputPrefix("/out", titleFileSet(title)), "/out/.__x_ANGLE_3");
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
  FileSet set{
      "/in/HVDVD_TS/FEATURE_1.EVO", "/in/HVDVD_TS/FEATURE_2.EVO", "FEATURE_1_FEATURE_2", {}};
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
