#include "cli/json_report.h"

#include <cstdio>

#include "disc/chapters.h"
#include "engine/packs.h"
#include "report/display_text.h"
#include "report/text_format.h"

namespace korvell::cli {

namespace {

using json = nlohmann::ordered_json;

// Text from outside (paths, labels, tag lines) as valid UTF-8.
json text(const std::string& bytes) {
  return displayUtf8(bytes);
}

json textOrNull(const std::string& bytes) {
  return bytes.empty() ? json(nullptr) : text(bytes);
}

template <typename T>
json orNull(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

const char* familyName(Family family) {
  switch (family) {
    case Family::Video:
      return "video";
    case Family::Audio:
      return "audio";
    case Family::Subpicture:
      break;
  }
  return "subpicture";
}

json systemHeaderJson(const std::optional<SystemHeaderBounds>& bounds) {
  if (!bounds) return nullptr;
  return {{"video_bound", bounds->videoBound}, {"audio_bound", bounds->audioBound}};
}

json navigationJson(const std::optional<NavigationValues>& navigation) {
  if (!navigation) return nullptr;
  return {{"vob_number", navigation->vobNumber},
          {"first_ptm", navigation->firstPtm},
          {"last_ptm", navigation->lastPtm},
          {"duration_s", orNull(navigation->durationSeconds)}};
}

json fieldsJson(const std::vector<DetailField>& fields) {
  json object = json::object();
  for (const DetailField& field : fields) {
    std::visit(
        [&](const auto& value) {
          if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
            object[field.name] = text(value);
          } else {
            object[field.name] = value;
          }
        },
        field.value);
  }
  return object;
}

// Files with their forms: [{"path": ..., "format": "wav"}, ...].
json filesJson(const std::vector<OutputFile>& files) {
  json list = json::array();
  for (const OutputFile& file : files)
    list.push_back({{"path", text(file.path)}, {"format", fileFormName(file.form)}});
  return list;
}

json streamJson(const ReportStream& stream) {
  json lines = json::array();
  for (const std::string& line : stream.detailLines)
    lines.push_back(text(line));
  json entry = {
      {"family", familyName(stream.family)},
      {"slot", stream.slot},
      {"box", stream.box ? text(*stream.box) : json(nullptr)},
      {"stream_id", hexId(stream.streamId)},
      {"substream_id", stream.substreamId ? json(hexId(*stream.substreamId)) : json(nullptr)},
      {"codec_name", stream.codecName},
      {"label", stream.box ? textOrNull(stream.label) : json(nullptr)},
      {"selected", stream.selected},
      {"first_pts", orNull(stream.firstPts)},
      {"last_pts", orNull(stream.lastPts)},
      {"delay_ms", orNull(stream.delayMs)},
      {"details", fieldsJson(stream.fields)},
      {"detail_lines", lines},
  };
  if (stream.family == Family::Subpicture) entry["first_event_ms"] = orNull(stream.firstEventMs);
  entry["file"] = textOrNull(stream.file);
  entry["files"] = filesJson(stream.files);
  return entry;
}

json extentsJson(const std::vector<FileExtent>& extents) {
  json files = json::array();
  for (const FileExtent& extent : extents) {
    files.push_back({{"path", text(extent.path)},
                     {"first_sector", extent.offset / kPackSize},
                     {"last_sector", (extent.offset + extent.length) / kPackSize - 1},
                     {"offset", extent.offset},
                     {"length", extent.length}});
  }
  return files;
}

json titleStreamJson(const TitleStream& stream) {
  json entry = {{"number", stream.number},
                {"substream_id",
                 stream.id < 0 ? json(nullptr) : json(hexId(static_cast<uint8_t>(stream.id)))},
                {"language", textOrNull(stream.language)}};
  if (stream.family == Family::Audio) {
    entry["codec"] = textOrNull(stream.codec);
    entry["channels"] = stream.channels;
    entry["sample_rate"] = stream.sampleRate;
  }
  entry["description"] = textOrNull(stream.name);
  if (stream.family == Family::Subpicture) entry["forced"] = stream.forced;
  return entry;
}

json titleJson(const Title& title) {
  json chapters = json::array();
  for (const Chapter& chapter : title.chapters) {
    chapters.push_back({{"start_s", static_cast<double>(chapter.startNs) / 1e9},
                        {"start", chapterClock(chapter.startNs)},
                        {"name", textOrNull(chapter.name)}});
  }
  json video = nullptr;
  json audio = json::array();
  json subpictures = json::array();
  for (const TitleStream& stream : title.streams) {
    if (stream.family == Family::Video && video.is_null()) {
      video = {{"stream_id", hexId(static_cast<uint8_t>(stream.id))},
               {"codec", textOrNull(stream.codec)}};
    } else if (stream.family == Family::Audio) {
      audio.push_back(titleStreamJson(stream));
    } else if (stream.family == Family::Subpicture) {
      subpictures.push_back(titleStreamJson(stream));
    }
  }
  json palette = nullptr;
  if (title.palette) {
    palette = json::array();
    for (uint32_t colour : *title.palette)
      palette.push_back(hexText(colour, 6));
  }
  json entry = {{"number", title.number},
                {"name", textOrNull(title.name)},
                {"title_set", title.titleSet},
                {"base_name", text(title.baseName)},
                {"length_s", title.durationSeconds},
                {"length", chapterClock(static_cast<int64_t>(title.durationSeconds * 1e9 + 0.5))},
                {"angles", title.angles},
                {"angle", title.angle},
                {"chapters", chapters},
                {"video", video},
                {"audio", audio},
                {"subpictures", subpictures},
                {"palette", palette},
                {"clips", title.clips},
                {"files", extentsJson(title.extents)}};
  // The name a DVD title's files have always had, for the callers that read it.
  if (title.titleSet != 0) entry["vob_files"] = extentsJson(title.extents);
  return entry;
}

}  // namespace

std::string hexId(uint8_t id) {
  return "0x" + hexText(id, 2);
}

std::string chapterClock(int64_t startNs) {
  return millisecondText(startNs);
}

json runReportJson(const RunReport& report, const std::string& command, const std::string& outcome,
                   const std::optional<Title>& title) {
  json files = json::array();
  for (const ScannedFile& file : report.files) {
    files.push_back({{"path", text(file.path)},
                     {"size", file.size},
                     {"fast_check_stopped", file.fastCheckStopped},
                     {"system_header", systemHeaderJson(file.systemHeader)},
                     {"navigation", navigationJson(file.navigation)}});
  }
  json streams = json::array();
  for (const ReportStream& stream : report.streams)
    streams.push_back(streamJson(stream));
  json frames = json::array();
  for (const ReportFrames& entry : report.frames) {
    frames.push_back({{"slot", entry.slot},
                      {"counted", orNull(entry.counted)},
                      {"calculated", orNull(entry.calculated)},
                      {"frame_rate", orNull(entry.frameRate)}});
  }
  json titleSummary = nullptr;
  if (title) {
    titleSummary = {{"number", title->number},
                    {"title_set", title->titleSet},
                    {"angle", title->angle},
                    {"base_name", text(title->baseName)},
                    {"vob_files", extentsJson(title->extents)}};
  }
  return {{"command", command},
          {"outcome", outcome},
          {"title", titleSummary},
          {"files", files},
          {"base_name", text(report.baseName)},
          {"second_file", textOrNull(report.secondFile)},
          {"fast_check_stopped", report.fastCheckStopped},
          {"system_header", systemHeaderJson(report.systemHeader)},
          {"navigation", navigationJson(report.navigation)},
          {"streams", streams},
          {"frames", frames},
          {"written_files", filesJson(report.writtenFiles)}};
}

json playlistJson(const std::string& playlist, const std::string& source,
                  const PlaylistResult& result, const Selection& selection,
                  const std::string& chaptersFile) {
  json document = {{"command", "xpl"},
                   {"playlist", text(playlist)},
                   {"source", textOrNull(source)},
                   {"playlist_title", textOrNull(result.tables.title)},
                   {"title", nullptr},
                   {"tracks", json::array()},
                   {"chapters", json::array()},
                   {"chapters_file", textOrNull(chaptersFile)}};
  if (!result.titleFound) return document;
  // The title as the playlist document describes it: its length at the title set's rate,
  // as its chapters are timed.
  if (result.title) {
    const XplTitle& title = *result.title;
    document["title"] = {
        {"name", textOrNull(title.title.name)},
        {"id", textOrNull(title.id)},
        {"duration", textOrNull(title.durationText)},
        {"duration_s", title.durationText.empty() || title.title.durationSeconds <= 0
                           ? json(nullptr)
                           : json(title.title.durationSeconds)}};
  }
  for (int number = 0; number < kSelectableSlots; ++number) {
    if (!result.enabled[static_cast<size_t>(number)]) continue;
    const Slot slot = slotAt(number);
    document["tracks"].push_back(
        {{"box", slotName(slot)},
         {"family", familyName(slot.family)},
         {"label", text(selection.streamLabel[static_cast<size_t>(number)])}});
  }
  for (const Chapter& chapter : result.chapters) {
    document["chapters"].push_back({{"start_s", static_cast<double>(chapter.startNs) / 1e9},
                                    {"start", chapterClock(chapter.startNs)},
                                    {"name", text(chapter.name)},
                                    {"language", textOrNull(chapter.language)}});
  }
  return document;
}

json titlesJson(const std::string& disc, const TitlesReport& report) {
  json titles = json::array();
  for (const Title& title : report.titles)
    titles.push_back(titleJson(title));
  json problems = json::array();
  for (const TitleProblem& problem : report.problems)
    problems.push_back({{"number", problem.number}, {"reason", text(problem.status.reason())}});
  json notes = json::array();
  for (const std::string& note : report.notes)
    notes.push_back(text(note));
  return {{"command", "titles"},
          {"disc", text(disc)},
          {"kind", report.hdDvd ? "hd_dvd" : "dvd"},
          {"video_ts", text(report.videoTsFolder)},
          {"playlist", textOrNull(report.playlistPath)},
          {"notes", notes},
          {"first_play", report.firstPlay ? titleJson(*report.firstPlay) : json(nullptr)},
          {"titles", titles},
          {"problems", problems}};
}

std::string jsonText(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace korvell::cli
