// The source a front end works on and what belongs to it: the input as the user named it (a
// file, a disc folder, a disc image and maybe a file inside it), the titles of its disc and the
// chosen one, the playlist found beside it and the reading of a playlist made for it. The window
// and the command line each keep one and forward to it, so a rule about inputs lives here once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "disc/title.h"
#include "engine/status.h"
#include "report/console.h"
#include "runs/named_input.h"
#include "runs/playlist_run.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"

namespace korvell {

/// What a file named on its own (dropped on the window) is for: a source the runs read (a
/// program stream by its extension, or a disc image), a playlist (.XPL), or nothing Korvell
/// takes.
enum class NamedFileRole { Source, Playlist, None };
NamedFileRole namedFileRole(const std::string& path);

class Session {
 public:
  /// Takes `named` as the input, with `inside` a file in a disc image (empty for none), and
  /// forgets the previous input's titles and playlist reading. A disc image is opened and
  /// checked here (resolveInput, through `real`, which must outlive the session). On failure
  /// the input is `named` over `real` and the reason, naming the image and the file, is
  /// returned for the front end to say.
  Status open(const std::string& named, const std::string& inside = "",
              FileSystem& real = realFileSystem());

  const NamedInput& input() const { return input_; }
  /// What the runs read: the path as named, or for a disc image the file in it or its root.
  const std::string& path() const { return input_.path; }
  FileSystem& files() const { return *input_.files; }
  /// Whether the input is a disc image: it is a disc, not a file to read, so only its titles
  /// can be chosen.
  bool titlesOnly() const { return input_.image != nullptr; }
  /// The input's file name without its extension (FEATURE_1): a playlist's title is chosen by
  /// the file it plays, also when a run continued on a second file.
  std::string baseName() const;

  /// Lists the titles the input's disc offers (titlesForInput) and chooses the one the input
  /// starts with; returns the lines to show once about them. continueOn: whether the runs
  /// would continue over the file's set.
  std::vector<std::string> offerTitles(bool continueOn);
  const std::vector<Title>& titles() const { return titles_; }
  /// Chooses the title at `index` in titles(), or none (any index outside them).
  void chooseTitle(int index);
  /// The index of the chosen title in titles(), or -1.
  int chosenIndex() const { return chosen_; }
  /// Reads title `number` (angle `angle`) of the input's disc, from `playlistPath` on an HD DVD
  /// (empty: the one the disc chooses), and chooses it; logs why when it cannot be played and
  /// returns false.
  bool loadTitle(int number, int angle, const std::string& playlistPath, Console& console);
  /// The chosen title, or null: the runs then read the input as a file and its set.
  const Title* chosenTitle() const;

  /// The disc's own playlist for the input (ADV_OBJ/VPLST000.XPL beside its HVDVD_TS) when
  /// it is there; empty otherwise.
  std::string discPlaylist() const;
  /// The folder a playlist dialog starts in for this input: the disc's ADV_OBJ; empty when the
  /// input lies in no HVDVD_TS folder.
  std::string playlistFolder() const;
  /// Reads the playlist at `playlistPath` for the title that plays the file whose base name
  /// is `playedName` (by default the input's own; empty: no file, so no title is chosen), and
  /// keeps the result as this input's; false when the playlist could not be opened or read
  /// (the run said why).
  bool readPlaylist(RunState& state, RunHost& host, const std::string& playlistPath,
                    const std::optional<std::string>& playedName = std::nullopt);
  const PlaylistResult& playlist() const { return playlist_; }
  /// Forgets the playlist reading (its tree, lines and chapters).
  void forgetPlaylist();
  /// The title a playlist reading chose for this input, for Make MKV's names; null when none.
  const Title* playlistTitle() const;

  /// The settings the input fixes: the path read and its file system, the output folder when
  /// `outputFolder` is empty (beside the input; for an image the folder that holds it), the
  /// chosen title, and the chapters of a playlist reading made for this input.
  void applyTo(RunSettings& settings, const std::string& outputFolder) const;

 private:
  NamedInput input_;
  std::vector<Title> titles_;
  int chosen_ = -1;
  std::optional<Title> loaded_;  // a title read by number (loadTitle), outside titles_
  PlaylistResult playlist_;
  std::string playlistInput_;  // the input the playlist reading was made for
};

}  // namespace korvell
