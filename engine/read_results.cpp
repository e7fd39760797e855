#include "engine/read_results.h"

#include "report/text_format.h"

#include <cmath>
#include <utility>

namespace korvell {

namespace {

// The entry of a family's table for a slot: the one mapping from family to table.
template <typename Video, typename Audio, typename Sub>
auto& ofFamily(Family family, int slot, Video& video, Audio& audio, Sub& sub) {
  const auto index = static_cast<size_t>(slot);
  switch (family) {
    case Family::Video:
      return video[index];
    case Family::Audio:
      return audio[index];
    case Family::Subpicture:
      break;
  }
  return sub[index];
}

std::optional<int32_t> millisecondsAfter(std::optional<uint32_t> from, std::optional<uint32_t> to) {
  if (!from || !to) return std::nullopt;
  const auto ticks = static_cast<int32_t>(*to - *from);
  return static_cast<int32_t>(ticksToMilliseconds(ticks));
}

}  // namespace

void StreamDetails::set(std::string_view name, std::variant<int64_t, double, std::string> value) {
  for (DetailField& field : fields) {
    if (field.name == name) {
      field.value = std::move(value);
      return;
    }
  }
  fields.push_back({std::string(name), std::move(value)});
}

void ReadResults::reset() {
  videoTimes = {}, audioTimes = {}, subTimes = {};
  videoDetails = {}, audioDetails = {}, subDetails = {};
  scannedFiles.clear();
  scrambled = {};
  firstPtsMin.reset();
}

StreamTimes& ReadResults::times(Family family, int slot) {
  return ofFamily(family, slot, videoTimes, audioTimes, subTimes);
}

const StreamTimes& ReadResults::times(Family family, int slot) const {
  return ofFamily(family, slot, videoTimes, audioTimes, subTimes);
}

StreamDetails& ReadResults::details(Family family, int slot) {
  return ofFamily(family, slot, videoDetails, audioDetails, subDetails);
}

const StreamDetails& ReadResults::details(Family family, int slot) const {
  return ofFamily(family, slot, videoDetails, audioDetails, subDetails);
}

std::optional<int32_t> ReadResults::firstEventMs(Family family, int slot) const {
  return millisecondsAfter(videoTimes[0].firstPts, times(family, slot).firstPts);
}

std::optional<int32_t> ReadResults::delayMs(Family family, int slot) const {
  if (family != Family::Subpicture) return firstEventMs(family, slot);
  if (!times(family, slot).firstPts) return std::nullopt;
  return millisecondsAfter(videoTimes[0].firstPts, firstPtsMin);
}

}  // namespace korvell
