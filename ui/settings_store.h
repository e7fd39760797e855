// The per-user settings: options, output extensions, folders and window geometry, kept in
// the QSettings store of organisation "Quorrel Software", application "Korvell".
#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

#include "runs/run_settings.h"

namespace korvell {

/// One value per setting. An empty optional is a value that is absent from the store (on
/// load) or that is not to be written (on save); the window leaves the matching control as
/// it is when a value is absent.
struct Settings {
  std::optional<int> windowState;  ///< 0 normal, 1 minimised, 2 maximised
  std::optional<int> top;
  std::optional<int> left;
  std::optional<int> width;   ///< outer width, frame included
  std::optional<int> height;  ///< outer height, frame included
  std::optional<int> treeWidth;
  std::optional<QString> audioExt;
  std::optional<QString> videoExt;
  std::optional<QString> subExt;
  std::optional<QString> workdir;
  std::optional<QString> evoDir;
  std::optional<QString> xplDir;
  std::optional<bool> continueOn;
  std::optional<bool> fastCheck;
  std::optional<bool> countFrames;
  std::optional<bool> details;
  std::optional<bool> autoRead;
  std::optional<bool> autoDemux;
  std::optional<bool> autoRebuild;
  std::optional<bool> autoClear;
  std::optional<bool> delayNames;
  std::optional<bool> writeChapters;
  std::optional<LpcmForm> lpcmAs;
  std::optional<SubpictureForm> subpicturesAs;
  std::optional<bool> codecExtensions;
  bool operator==(const Settings&) const = default;
};

/// Loads and saves Settings. The store is opened, used and closed within each call.
/// Integers are stored as integers, Booleans as the integers 1 and 0 (any non-zero integer
/// reads as true), texts as strings, the LPCM and subpicture forms by the names the command
/// line gives them ("raw", "wav", "flac"; "sup", "vobsub", "pgs"). A form stored as an integer
/// (as the window once kept them) reads as its place in the order above, 0 to 2. A stored
/// value that does not read as its type counts as absent.
class SettingsStore {
 public:
  static constexpr const char* kOrganisation = "Quorrel Software";
  static constexpr const char* kApplication = "Korvell";

  /// Whether the store holds any value at all.
  static bool exists();

  /// The stored values; every field is absent when the store does not exist. Nothing is
  /// created by loading.
  static Settings load();

  /// Writes the present fields in this order: WindowState, Top, Left, Width, Height,
  /// TreeWidth, AudioExt, VideoExt, SubExt, Workdir, EVOdir, XPLdir, Continue, FastCheck,
  /// CountFrames, Details, AutoRead, AutoDemux, AutoRebuild, AutoClear, DelayNames,
  /// WriteChapters, LpcmAs, SubpicturesAs, CodecExtensions; then, if the store
  /// has no "Install" value yet, writes `now` there as an 8-byte binary value holding the
  /// 64-bit float of days since 30 December 1899 (time of day as the fraction).
  static void save(const Settings& settings, const QDateTime& now = QDateTime::currentDateTime());

  /// The "Install" value, if present (for tests and diagnostics; the program never reads it).
  static std::optional<double> installDate();

  /// Days since 30 December 1899 of a local date and time, time of day as the fraction.
  static double daysSince1899(const QDateTime& local);
};

}  // namespace korvell
