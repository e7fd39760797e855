#include "runs/titles_run.h"

#include <algorithm>
#include <filesystem>

#include "engine/file_kinds.h"
#include "engine/packs.h"
#include "report/display_text.h"
#include "report/markup.h"
#include "report/text_format.h"
#include "runs/file_set.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

std::string plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string streamLine(const TitleStream& stream) {
  std::string line;
  switch (stream.family) {
    case Family::Video:
      return "   Video: id " + hexText(static_cast<uint32_t>(stream.id), 2) + ", " + stream.codec;
    case Family::Audio:
      line =
          "   Audio " + std::to_string(stream.number) + ": id " +
          (stream.id < 0 ? std::string("unknown") : hexText(static_cast<uint32_t>(stream.id), 2)) +
          ", " + stream.codec + ", " + (stream.language.empty() ? "no language" : stream.language) +
          ", " + plural(static_cast<size_t>(stream.channels), "channel", "channels") + ", " +
          std::to_string(stream.sampleRate) + " Hz";
      break;
    case Family::Subpicture:
      line = "   Subpicture " + std::to_string(stream.number) + ": id " +
             hexText(static_cast<uint32_t>(stream.id), 2) + ", " +
             (stream.language.empty() ? "no language" : stream.language);
      if (stream.forced) line += ", forced";
      break;
  }
  if (!stream.name.empty()) line += ", " + stream.name;
  return line;
}

// The languages of a title's streams of one family, "und" for one the disc does not give.
std::string languages(const Title& title, Family family) {
  std::string list;
  for (const TitleStream& stream : title.streams) {
    if (stream.family != family) continue;
    if (!list.empty()) list += ", ";
    list += stream.language.empty() ? "und" : stream.language;
  }
  return list.empty() ? "none" : list;
}

// The head line of a title: what a DVD title's says, and for an HD DVD title (one with clips)
// its name, clips and languages too.
std::string titleLine(const Title& title) {
  const std::string head = title.number == 0 && title.clips > 0
                               ? "[b]First play[/b] "
                               : "[b]Title " + std::to_string(title.number) + "[/b] ";
  std::string line = head + escapeMarkup(title.baseName);
  if (!title.name.empty()) line += " \"" + escapeMarkup(title.name) + "\"";
  line += ": " + clockText(title.durationSeconds, true) + ", ";
  if (title.clips > 0) line += plural(static_cast<size_t>(title.clips), "clip", "clips") + ", ";
  line += plural(title.chapters.size(), "chapter", "chapters") + ", ";
  std::string angles = plural(static_cast<size_t>(title.angles), "angle", "angles");
  if (title.angles > 1) angles += " (angle " + std::to_string(title.angle) + " listed)";
  line += angles;
  if (title.clips > 0) {
    line += "; audio: " + escapeMarkup(languages(title, Family::Audio)) +
            "; subtitles: " + escapeMarkup(languages(title, Family::Subpicture));
  }
  return line;
}

void logTitle(const Title& title, Console& console) {
  console.log(titleLine(title));
  for (size_t i = 0; i < title.chapters.size(); ++i) {
    const Chapter& chapter = title.chapters[i];
    console.log("   Chapter " + std::to_string(i + 1) + ": " +
                clockText(static_cast<double>(chapter.startNs) / 1e9, true) +
                (chapter.name.empty() ? "" : " " + escapeMarkup(displayUtf8(chapter.name))));
  }
  for (const TitleStream& stream : title.streams)
    console.log(escapeMarkup(displayUtf8(streamLine(stream))));
  if (title.palette) {
    std::string palette = "   Palette:";
    for (uint32_t colour : *title.palette)
      palette += " " + hexText(colour, 6);
    console.log(palette);
  }
  for (const FileExtent& extent : title.extents) {
    const std::string name = std::filesystem::path(extent.path).filename().string();
    const uint64_t first = extent.offset / kPackSize;
    console.log("   " + escapeMarkup(name) + ": sectors " + std::to_string(first) + " to " +
                std::to_string(first + extent.length / kPackSize - 1));
  }
}

}  // namespace

bool isHdDvdPath(const std::string& path, const FileSystem& files) {
  return findHdDvd(path, files).has_value();
}

namespace {

// Ends a listing whose disc could not be read.
TitlesReport discFailed(TitlesReport report, const Status& status, Console& console) {
  console.logError(escapeMarkup(status.reason()));
  showReady(console);
  report.outcome = RunOutcome::Failed;
  report.failure = status;
  return report;
}

// Logs the titles and the problems in the disc's order.
void logTitlesInOrder(const TitlesReport& report, Console& console) {
  auto title = report.titles.begin();
  auto problem = report.problems.begin();
  while (title != report.titles.end() || problem != report.problems.end()) {
    if (problem == report.problems.end() ||
        (title != report.titles.end() && title->number < problem->number)) {
      logTitle(*title++, console);
    } else {
      const std::string which = problem->number == 0 && report.hdDvd
                                    ? "[b]First play[/b]"
                                    : "[b]Title " + std::to_string(problem->number) + "[/b]";
      console.log(which + " cannot be played: " + escapeMarkup(problem->status.reason()));
      ++problem;
    }
  }
}

}  // namespace

TitlesReport titlesRun(const std::string& discPath, Console& console,
                       const std::string& playlistPath, FileSystem& files) {
  TitlesReport report;
  console.status("Reading titles", 0);
  console.log("Reading the titles of " + escapeMarkup(discPath));
  if (isHdDvdPath(discPath, files)) {
    HdDvdDisc disc = readHdDvdTitles(discPath, files, playlistPath);
    report.hdDvd = true;
    if (!disc.status.ok()) return discFailed(std::move(report), disc.status, console);
    report.playlistPath = disc.playlistPath;
    report.notes = std::move(disc.notes);
    report.titles = std::move(disc.titles);
    report.firstPlay = std::move(disc.firstPlay);
    report.problems = std::move(disc.problems);
    for (const std::string& note : report.notes)
      console.log(escapeMarkup(note));
    if (report.firstPlay) logTitle(*report.firstPlay, console);
  } else {
    if (!playlistPath.empty()) {
      return discFailed(std::move(report),
                        Status::failure(Status::Code::OpenFailed,
                                        "A playlist names the titles of an HD DVD; " + discPath +
                                            " lies in no HVDVD_TS or ADV_OBJ folder"),
                        console);
    }
    DvdDisc disc = readDvdTitles(discPath, files);
    if (!disc.status.ok()) return discFailed(std::move(report), disc.status, console);
    report.videoTsFolder = disc.videoTsFolder;
    report.titles = std::move(disc.titles);
    report.problems = std::move(disc.problems);
  }
  logTitlesInOrder(report, console);
  const size_t numbered =
      report.titles.size() +
      static_cast<size_t>(std::count_if(report.problems.begin(), report.problems.end(),
                                        [&](const TitleProblem& p) { return p.number != 0; }));
  console.log(plural(numbered, "title", "titles") + ".");
  if (report.titles.empty() && !report.problems.empty()) {
    report.failure = report.problems.front().status;
    report.outcome = RunOutcome::Failed;
    showReady(console);
    return report;
  }
  if (report.titles.empty() && report.hdDvd) {
    return discFailed(std::move(report),
                      Status::failure(Status::Code::ReadFailed,
                                      "The playlist " + report.playlistPath + " has no title"),
                      console);
  }
  logDone(console);
  return report;
}

namespace {

// The titles of the HD DVD that holds an .EVO input. None is chosen: the file reads as it
// always has (with its second file) until the user chooses a title. Of a whole disc (the root
// of a disc image) the first title is chosen.
InputTitles hdDvdTitlesForInput(const std::string& inputPath, FileSystem& files, bool wholeDisc) {
  InputTitles offered;
  const std::string name = escapeMarkup(namePart(inputPath));
  HdDvdDisc disc = readHdDvdTitles(inputPath, files);
  if (!disc.status.ok()) {
    offered.notes.push_back("No playlist title list for " + name + " (" +
                            escapeMarkup(disc.status.reason()) +
                            (wholeDisc ? ")." : "): it is read as a file."));
    return offered;
  }
  for (const std::string& note : disc.notes)
    offered.notes.push_back(escapeMarkup(note));
  for (const TitleProblem& problem : disc.problems) {
    offered.notes.push_back((problem.number == 0 ? std::string("The first-play title")
                                                 : "Title " + std::to_string(problem.number)) +
                            " cannot be played: " + escapeMarkup(problem.status.reason()));
  }
  offered.titles = std::move(disc.titles);
  if (wholeDisc && !offered.titles.empty()) {
    offered.chosen = 0;
  } else if (!offered.titles.empty()) {
    offered.notes.push_back(name + " is read as a file until a title of its disc is chosen.");
  }
  return offered;
}

}  // namespace

InputTitles titlesForInput(const std::string& inputPath, bool continueOn, FileSystem& files) {
  InputTitles offered;
  const std::string extension = upperExtension(inputPath);
  // A folder is a whole disc (the root of a disc image, resolveInput).
  const bool wholeDisc = files.isFolder(inputPath);
  if ((extension == ".EVO" || wholeDisc) && isHdDvdPath(inputPath, files)) {
    return hdDvdTitlesForInput(inputPath, files, wholeDisc);
  }
  if (extension != ".VOB" && !wholeDisc) return offered;
  const std::string name = escapeMarkup(namePart(inputPath));
  DvdDisc disc = readDvdTitles(inputPath, files);
  for (const TitleProblem& problem : disc.problems) {
    offered.notes.push_back("Title " + std::to_string(problem.number) +
                            " cannot be played: " + escapeMarkup(problem.status.reason()));
  }
  if (disc.titles.empty()) {
    const std::string why = disc.status.ok() ? "no title of its disc can be played"
                                             : escapeMarkup(disc.status.reason());
    const std::optional<int> part = titleSetVobPart(namePart(inputPath));
    offered.notes.push_back("No IFO title list for " + name + " (" + why + ")" +
                            (wholeDisc ? "."
                             : continueOn && part && *part > 0
                                 ? ": the VOB files from it on are read as one set."
                                 : ": it is read as a file, without a title."));
    return offered;
  }
  offered.titles = std::move(disc.titles);
  if (wholeDisc) {
    offered.chosen = 0;
  } else if (const Title* starting = titleStartingIn(offered.titles, inputPath, files)) {
    offered.chosen = static_cast<int>(starting - offered.titles.data());
  } else {
    offered.notes.push_back("No title starts in " + name +
                            ": it is read as a file until a title is chosen.");
  }
  return offered;
}

std::string titleCaption(const Title& title) {
  const std::string name = title.name.empty() ? "" : " \"" + displayUtf8(title.name) + "\"";
  return "Title " + std::to_string(title.number) + name + ": " +
         clockText(title.durationSeconds, true) + ", " +
         plural(title.chapters.size(), "chapter", "chapters");
}

bool loadDiscTitle(const std::string& discPath, int number, int angle,
                   const std::string& playlistPath, Console& console, Title* title,
                   FileSystem& files) {
  Status read;
  if (isHdDvdPath(discPath, files)) {
    HdDvdDisc disc = readHdDvdTitles(discPath, files, playlistPath);
    read = disc.status;
    if (read.ok()) {
      const auto playable = std::find_if(disc.titles.begin(), disc.titles.end(),
                                         [&](const Title& t) { return t.number == number; });
      const auto problem = std::find_if(disc.problems.begin(), disc.problems.end(),
                                        [&](const TitleProblem& p) { return p.number == number; });
      if (playable != disc.titles.end() && angle == 1) {
        *title = std::move(*playable);
      } else if (playable != disc.titles.end()) {
        read = Status::failure(Status::Code::ReadFailed,
                               "Title " + std::to_string(number) + " of " + disc.playlistPath +
                                   " has no angle " + std::to_string(angle));
      } else if (problem != disc.problems.end()) {
        read = Status::failure(
            problem->status.code(),
            "Title " + std::to_string(number) + " cannot be played: " + problem->status.reason());
      } else {
        read = Status::failure(
            Status::Code::ReadFailed,
            "There is no title " + std::to_string(number) + " in " + disc.playlistPath);
      }
    }
  } else {
    read = readDvdTitle(discPath, number, angle, title, files);
  }
  if (read.ok()) return true;
  console.logError(escapeMarkup(read.reason()));
  return false;
}

}  // namespace korvell
