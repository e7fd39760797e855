#include "mux/mux_plan.h"

#include <algorithm>
#include <utility>

#include "mux/language_codes.h"

namespace korvell {

namespace {

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
    if (file.form == FileForm::VobSubIndex) return &file;
  }
  const bool subpicture = stream.family == Family::Subpicture;
  const bool lpcm = stream.kind != nullptr && stream.kind->codec == Codec::Lpcm;
  for (const OutputFile& file : stream.files) {
    const FileForm form = file.form;
    if (form == FileForm::Wav || form == FileForm::Flac || form == FileForm::Pgs) return &file;
    if (form == FileForm::Raw && !subpicture && !lpcm) return &file;
  }
  if (stream.files.empty()) {
    *reason = "no file was written for it";
  } else if (subpicture) {
    *reason = "mkvmerge reads subpictures as VobSub (.idx and .sub) or PGS only";
  } else if (lpcm) {
    *reason = "mkvmerge reads LPCM as WAV or FLAC only";
  } else {
    *reason = "mkvmerge reads none of its files";
  }
  return nullptr;
}

}  // namespace

std::string trackCodecName(const StreamKindInfo* kind, FileForm form) {
  if (form == FileForm::VobSubIndex) return "VobSub";
  if (form == FileForm::Pgs) return "PGS";
  return kind != nullptr ? kind->displayName : "";
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
      const std::string codec = trackCodecName(stream->kind, file->form);
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
