#include "mux/mux_plan.h"

#include <algorithm>
#include <array>
#include <utility>

#include "mux/language_codes.h"

namespace korvell {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 11> kCodecNames = {{
    {"mpeg2video", "MPEG-2"},
    {"h264", "H.264"},
    {"vc1", "VC-1"},
    {"mp2", "MPEG audio"},
    {"ac3", "AC-3"},
    {"eac3", "E-AC-3"},
    {"dts", "DTS"},
    {"lpcm", "LPCM"},
    {"mlp", "MLP"},
    {"truehd", "TrueHD"},
    {"dvd_subtitle", "Subpictures"},
}};

int familyOrder(Family family) {
  switch (family) {
    case Family::Video:
      return 0;
    case Family::Audio:
      return 1;
    case Family::Subpicture:
      break;
  }
  return 2;
}

// The file mkvmerge is given for a stream, or null with the reason.
const OutputFile* inputFileOf(const DemuxedStream& stream, std::string* reason) {
  for (const OutputFile& file : stream.files) {
    if (file.format == "idx") return &file;
  }
  const bool subpicture = stream.family == Family::Subpicture;
  for (const OutputFile& file : stream.files) {
    const std::string& form = file.format;
    if (form == "wav" || form == "flac" || form == "pgs") return &file;
    if (form == "raw" && !subpicture && stream.codec != "lpcm") return &file;
  }
  if (stream.files.empty()) {
    *reason = "no file was written for it";
  } else if (subpicture) {
    *reason = "mkvmerge reads subpictures as VobSub (.idx and .sub) or PGS only";
  } else if (stream.codec == "lpcm") {
    *reason = "mkvmerge reads LPCM as WAV or FLAC only";
  } else {
    *reason = "mkvmerge reads none of its files";
  }
  return nullptr;
}

}  // namespace

std::string codecDisplayName(const std::string& codec, const std::string& form) {
  if (form == "idx") return "VobSub";
  if (form == "pgs") return "PGS";
  for (const auto& [name, shown] : kCodecNames) {
    if (codec == name) return shown;
  }
  return codec;
}

MuxPlan planMux(const std::vector<DemuxedStream>& streams, const Title* title,
                const std::string& outputPath, const std::string& chaptersPath) {
  MuxPlan plan;
  MuxDescription& description = plan.description;
  description.outputPath = outputPath;
  if (title != nullptr) description.title = title->name;
  if (title == nullptr || !title->chapters.empty()) description.chaptersPath = chaptersPath;

  std::vector<const DemuxedStream*> ordered;
  for (const DemuxedStream& stream : streams)
    ordered.push_back(&stream);
  std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
    return std::pair(familyOrder(a->family), a->slot) < std::pair(familyOrder(b->family), b->slot);
  });

  bool videoDefault = false;
  bool audioDefault = false;
  for (const DemuxedStream* stream : ordered) {
    std::string reason;
    const OutputFile* file = inputFileOf(*stream, &reason);
    if (file == nullptr) {
      plan.leftOut.push_back({stream->family, stream->slot, reason});
      continue;
    }
    MuxTrack track;
    track.family = stream->family;
    track.path = file->path;
    const TitleStream* described = titleStreamFor(title, stream->family, stream->slot, stream->id);
    track.language = matroskaLanguage(described != nullptr ? described->language : "");
    track.forced = described != nullptr && described->forced;
    if (described != nullptr && !described->name.empty()) {
      track.name = described->name;
    } else {
      const std::string language = languageName(track.language);
      const std::string codec = codecDisplayName(stream->codec, file->format);
      track.name = language.empty() ? codec : language + " " + codec;
    }
    if (stream->family == Family::Video && !videoDefault) {
      track.isDefault = videoDefault = true;
    } else if (stream->family == Family::Audio && !audioDefault) {
      track.isDefault = audioDefault = true;
    }
    if (stream->family == Family::Audio) track.syncMs = stream->delayMs.value_or(0);
    description.tracks.push_back(std::move(track));
  }
  return plan;
}

}  // namespace korvell
