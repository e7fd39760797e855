#include "cli/json_report.h"

#include <cstdio>

#include "playlist/chapters.h"
#include "playlist/display_text.h"
#include "playlist/xpl_attribute.h"
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
    list.push_back({{"path", text(file.path)}, {"format", file.format}});
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

}  // namespace

std::string hexId(uint8_t id) {
  return "0x" + hexText(id, 2);
}

std::string chapterClock(int64_t startNs) {
  const int64_t ms = startNs < 0 ? 0 : (startNs + 500000) / 1000000;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return buffer;
}

json runReportJson(const RunReport& report, const std::string& command,
                   const std::string& outcome) {
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
  return {{"command", command},
          {"outcome", outcome},
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
                  const PlaylistResult& result, const RunState& state,
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
  // The title element's first tag line is the Title tag itself.
  const std::string tag = result.lines.empty() ? std::string() : result.lines.front();
  std::string name = attributeValue(tag, "displayName");
  if (name.empty()) name = attributeValue(tag, "id");
  const std::string duration = attributeValue(tag, "titleDuration");
  const std::optional<int64_t> durationNs =
      titleTimeNs(duration, timeBaseFrameRate(attributeValue(tag, "timeBase")));
  document["title"] = {
      {"name", textOrNull(name)},
      {"id", textOrNull(attributeValue(tag, "id"))},
      {"duration", textOrNull(duration)},
      {"duration_s", durationNs ? json(static_cast<double>(*durationNs) / 1e9) : json(nullptr)}};
  for (int number = 0; number < kSelectableSlots; ++number) {
    if (!result.enabled[static_cast<size_t>(number)]) continue;
    const Slot slot = slotAt(number);
    document["tracks"].push_back({{"box", slotName(slot)},
                                  {"family", familyName(slot.family)},
                                  {"label", text(state.streamLabel[static_cast<size_t>(number)])}});
  }
  for (const Chapter& chapter : result.chapters) {
    document["chapters"].push_back({{"start_s", static_cast<double>(chapter.startNs) / 1e9},
                                    {"start", chapterClock(chapter.startNs)},
                                    {"name", text(chapter.name)},
                                    {"language", textOrNull(chapter.language)}});
  }
  return document;
}

std::string jsonText(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace korvell::cli
