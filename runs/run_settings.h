// What a front end hands to a run besides the run state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disc/chapters.h"
#include "disc/title.h"
#include "engine/file_system.h"

namespace korvell {

/// The run that a Read run starts when it ends (the radio group "Auto Demux", "Auto Rebuild",
/// "No auto process").
enum class FollowOn { None, Demux, Rebuild };

/// The extensions of stream files when the user has not chosen others, and the most
/// characters an extension may have (the window's fields take no more).
inline constexpr const char* kDefaultVideoExt = "mpv";
inline constexpr const char* kDefaultAudioExt = "mpa";
inline constexpr const char* kDefaultSubExt = "sup";
inline constexpr size_t kMaxExtensionLength = 5;

/// The forms a Demux run writes LPCM streams in: as they stand (the default), or decoded into
/// WAV (RF64 past 4 GiB) or FLAC files.
enum class LpcmForm : uint8_t { Raw, Wav, Flac };

/// The forms a Demux run writes subpicture streams in: ".sup" records (the default), VobSub
/// (.idx and .sub) or a presentation graphics stream (PGS ".sup").
enum class SubpictureForm : uint8_t { SupRecords, VobSub, Pgs };

/// A form the user chooses: its name on the command line (--lpcm, --subs) and in the settings
/// store, and its caption in the window's list. The tables list them in the window's order.
template <typename Form>
struct FormChoice {
  Form form;
  const char* name;
  const char* caption;
};
inline constexpr std::array<FormChoice<LpcmForm>, 3> kLpcmForms{{{LpcmForm::Raw, "raw", "raw"},
                                                                 {LpcmForm::Wav, "wav", "WAV"},
                                                                 {LpcmForm::Flac, "flac", "FLAC"}}};
inline constexpr std::array<FormChoice<SubpictureForm>, 3> kSubpictureForms{
    {{SubpictureForm::SupRecords, "sup", "SUP records"},
     {SubpictureForm::VobSub, "vobsub", "VobSub"},
     {SubpictureForm::Pgs, "pgs", "PGS"}}};

/// The name of a form in its table: "raw", "wav", "flac"; "sup", "vobsub", "pgs".
template <typename Form, size_t N>
constexpr const char* formName(const std::array<FormChoice<Form>, N>& table, Form form) {
  for (const FormChoice<Form>& choice : table) {
    if (choice.form == form) return choice.name;
  }
  return table.front().name;
}
constexpr const char* formName(LpcmForm form) {
  return formName(kLpcmForms, form);
}
constexpr const char* formName(SubpictureForm form) {
  return formName(kSubpictureForms, form);
}

struct RunSettings {
  std::string inputPath;     ///< the chosen input file
  std::string outputFolder;  ///< empty: beside the input file
  std::string videoExt = kDefaultVideoExt;
  std::string audioExt = kDefaultAudioExt;
  std::string subExt = kDefaultSubExt;
  bool autoClear = false;
  FollowOn followOn = FollowOn::None;
  /// Demux: audio and subpicture files are named "PREFIX.LABEL DELAY <n>ms.EXT", n being the
  /// stream's delay against video stream 0 in the last Read run (no suffix without one).
  bool delayNames = false;
  /// Demux: the forms of LPCM and subpicture streams (runs/output_forms.h).
  LpcmForm lpcmForm = LpcmForm::Raw;
  SubpictureForm subpictureForm = SubpictureForm::SupRecords;
  /// Demux: files that hold a stream as it stands are named by its codec (".ac3", ".m2v",
  /// ".lpcm") instead of by videoExt, audioExt and subExt. The other forms always carry their
  /// own extensions (.wav, .flac, .idx and .sub, PGS .sup).
  bool codecExtensions = false;
  /// Demux: the chapters of the title a playlist reading selected for the input
  /// `chaptersSource`. When there are any, that input is this run's input and writeChapters is
  /// on, the run also writes PREFIX.chapters.txt and PREFIX.chapters.xml; the chapters of a
  /// title read for another input are never written. A run on a disc title writes that
  /// title's chapters instead.
  std::vector<Chapter> chapters;
  std::string chaptersSource;
  bool writeChapters = true;
  /// The disc title the run works on, when one was chosen (a DVD title from the IFO): the runs
  /// walk its extents as one pass (Continue does not apply), name their files by its base
  /// name, label its streams with their languages (Read), write its chapters (Demux) and
  /// give its palette to the subpicture outputs. Empty: the input file and its set.
  std::optional<Title> title;
  /// Where the run opens and creates its files.
  FileSystem* files = &realFileSystem();
};

/// Whether the run reads an HD DVD: a title that is no DVD title (it has no title set), or
/// without a title an .EVO file.
bool isHdDvdSource(const RunSettings& settings);

/// How a run ended. Everything but Done and Cancelled is a failure that the run has reported
/// in the console, without "Done.". Failed: a file could not be opened, created, read or
/// written, or a disc not read; the message the run logged (from the failure's Status) says
/// which and why. NothingToWrite: a Demux run whose selected streams are
/// none of them in the input, or a Matroska run with no stream mkvmerge can take. MuxFailed:
/// mkvmerge was not found, could not be started or failed. NoStreamFound: a Read run that
/// read its input to the end (or to the fast check's limit) and found no stream in it.
enum class RunOutcome { Done, Cancelled, Failed, NothingToWrite, MuxFailed, NoStreamFound };

inline bool failed(RunOutcome outcome) {
  return outcome != RunOutcome::Done && outcome != RunOutcome::Cancelled;
}

}  // namespace korvell
