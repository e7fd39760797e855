#include "runs/titles_run.h"

#include <filesystem>

#include "engine/file_kinds.h"
#include "report/markup.h"
#include "report/text_format.h"
#include "runs/file_set.h"
#include "runs/run_support.h"

namespace korvell {

namespace {

constexpr uint64_t kSectorSize = 2048;

RunOutcome outcomeOf(const Status& status) {
  return status.code() == Status::Code::OpenFailed ? RunOutcome::OpenFailed
                                                   : RunOutcome::ReadFailed;
}

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
      break;
  }
  if (!stream.name.empty()) line += ", " + stream.name;
  return line;
}

void logTitle(const Title& title, Console& console) {
  std::string angles = plural(static_cast<size_t>(title.angles), "angle", "angles");
  if (title.angles > 1) angles += " (angle " + std::to_string(title.angle) + " listed)";
  console.log("[b]Title " + std::to_string(title.number) + "[/b] " + title.baseName + ": " +
              clockText(title.durationSeconds, true) + ", " +
              plural(title.chapters.size(), "chapter", "chapters") + ", " + angles);
  for (size_t i = 0; i < title.chapters.size(); ++i) {
    console.log("   Chapter " + std::to_string(i + 1) + ": " +
                clockText(static_cast<double>(title.chapters[i].startNs) / 1e9, true));
  }
  for (const TitleStream& stream : title.streams)
    console.log(escapeMarkup(streamLine(stream)));
  if (title.palette) {
    std::string palette = "   Palette:";
    for (uint32_t colour : *title.palette)
      palette += " " + hexText(colour, 6);
    console.log(palette);
  }
  for (const FileExtent& extent : title.extents) {
    const std::string name = std::filesystem::path(extent.path).filename().string();
    const uint64_t first = extent.offset / kSectorSize;
    console.log("   " + escapeMarkup(name) + ": sectors " + std::to_string(first) + " to " +
                std::to_string(first + extent.length / kSectorSize - 1));
  }
}

}  // namespace

TitlesReport titlesRun(const std::string& discPath, Console& console, FileSystem& files) {
  TitlesReport report;
  console.status("Reading titles", 0);
  console.log("Reading the titles of " + escapeMarkup(discPath));
  DvdDisc disc = readDvdTitles(discPath, files);
  if (!disc.status.ok()) {
    console.logError(escapeMarkup(disc.status.reason()));
    showReady(console);
    report.outcome = outcomeOf(disc.status);
    report.failure = disc.status;
    return report;
  }
  report.videoTsFolder = disc.videoTsFolder;
  report.titles = std::move(disc.titles);
  report.problems = std::move(disc.problems);
  // Titles and problems in the disc's order.
  auto title = report.titles.begin();
  auto problem = report.problems.begin();
  while (title != report.titles.end() || problem != report.problems.end()) {
    if (problem == report.problems.end() ||
        (title != report.titles.end() && title->number < problem->number)) {
      logTitle(*title++, console);
    } else {
      console.log("[b]Title " + std::to_string(problem->number) +
                  "[/b] cannot be played: " + escapeMarkup(problem->status.reason()));
      ++problem;
    }
  }
  console.log(plural(report.titles.size() + report.problems.size(), "title", "titles") + ".");
  if (report.titles.empty() && !report.problems.empty()) {
    report.failure = report.problems.front().status;
    report.outcome = outcomeOf(report.failure);
    showReady(console);
    return report;
  }
  logDone(console);
  return report;
}

InputTitles titlesForInput(const std::string& inputPath, bool continueOn, FileSystem& files) {
  InputTitles offered;
  const bool wholeDisc = files.isFolder(inputPath);
  if (upperExtension(inputPath) != ".VOB" && !wholeDisc) return offered;
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
  return "Title " + std::to_string(title.number) + ": " + clockText(title.durationSeconds, true) +
         ", " + plural(title.chapters.size(), "chapter", "chapters");
}

bool loadDvdTitle(const std::string& discPath, int number, int angle, Console& console,
                  Title* title, FileSystem& files) {
  const Status read = readDvdTitle(discPath, number, angle, title, files);
  if (read.ok()) return true;
  console.logError(escapeMarkup(read.reason()));
  return false;
}

}  // namespace korvell
