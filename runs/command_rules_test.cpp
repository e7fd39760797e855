#include "runs/command_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace korvell {
namespace {

// The seven commands as a string, enabled ones in capitals: "EXDRMbb" = Read EVO, Read XPL,
// Demux, Rebuild, Make MKV on, both browse commands off.
std::string shown(const CommandRules& rules) {
  const char letters[] = {'e', 'x', 'd', 'r', 'm', 'b', 'b'};
  std::string out;
  for (size_t i = 0; i < kCommandCount; ++i) {
    const char c = letters[i];
    out += rules.enabled(static_cast<Command>(i)) ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

TEST(CommandRules, RunsDisableWhatTheirKindDisablesAndGiveItBack) {
  struct Case {
    RunKind kind;
    bool readXplBefore;
    const char* during;
    bool anySelected;
    const char* input;
    const char* after;
  };
  const Case cases[] = {
      {RunKind::Read, true, "exdrmbb", true, "/d/F.EVO", "EXDRMBB"},
      {RunKind::Read, false, "exdrmbb", true, "/d/F.EVO", "ExDRMBB"},  // Read XPL as before
      {RunKind::Read, true, "exdrmbb", false, "/d/F.EVO", "EXdrmBB"},  // nothing found
      {RunKind::Read, true, "exdrmbb", true, "/d/V.VOB", "EXDrMBB"},   // a .VOB never rebuilds
      // Every run disables every command: a click would be ignored while it works.
      {RunKind::Demux, true, "exdrmbb", true, "/d/F.evo", "EXDRMBB"},
      {RunKind::Rebuild, true, "exdrmbb", false, "/d/F.EVO", "EXdrmBB"},
      {RunKind::Matroska, false, "exdrmbb", true, "/d/F.EVO", "ExDRMBB"},
      {RunKind::Playlist, true, "exdrmbb", true, "/d/F.EVO", "EXDRMBB"},
  };
  for (const auto& c : cases) {
    CommandRules rules;
    rules.setEnabled(Command::ReadEvo, true);
    rules.setEnabled(Command::ReadXpl, c.readXplBefore);
    rules.selectionChanged(true, "/d/F.EVO");
    rules.runStarting(c.kind);
    EXPECT_TRUE(rules.running());
    EXPECT_EQ(shown(rules), c.during) << static_cast<int>(c.kind);
    rules.runFinished(c.kind, c.anySelected, c.input);
    EXPECT_FALSE(rules.running());
    EXPECT_EQ(shown(rules), c.after) << static_cast<int>(c.kind) << " " << c.input;
  }
}

TEST(CommandRules, ABoxChangedDuringARunWaitsForItsEnd) {
  CommandRules rules;
  rules.runStarting(RunKind::Demux);
  rules.selectionChanged(true, "/d/F.EVO");  // at a 4 MiB point
  EXPECT_FALSE(rules.enabled(Command::Demux));
  rules.runFinished(RunKind::Demux, true, "/d/F.EVO");
  EXPECT_TRUE(rules.enabled(Command::Demux));
  EXPECT_TRUE(rules.enabled(Command::Rebuild));
}

TEST(CommandRules, RebuildTakesAnEvoInputOnly) {
  EXPECT_TRUE(rebuildTakes("/d/HVDVD_TS/FEATURE_1.EVO"));
  EXPECT_TRUE(rebuildTakes("feature_1.evo"));
  EXPECT_FALSE(rebuildTakes("/d/VIDEO_TS/VTS_01_1.VOB"));
  EXPECT_FALSE(rebuildTakes("/d/AUDIO_TS/ATS_01_1.AOB"));
  EXPECT_FALSE(rebuildTakes("/d/EVO"));
  // A DVD title is rebuilt from its cells, whatever names the disc.
  EXPECT_TRUE(rebuildTakes("/d/VIDEO_TS/VTS_01_1.VOB", true));
  EXPECT_TRUE(rebuildTakes("/d", true));
  CommandRules rules;
  rules.selectionChanged(true, "/d/VIDEO_TS/VTS_01_1.VOB");
  EXPECT_FALSE(rules.enabled(Command::Rebuild));
  rules.selectionChanged(true, "/d/VIDEO_TS/VTS_01_1.VOB", true);
  EXPECT_TRUE(rules.enabled(Command::Rebuild));
}

}  // namespace
}  // namespace korvell
