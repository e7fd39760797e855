#include "engine/run_state.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvell {

ReadBuffer::ReadBuffer() : storage_(kGuard + kReadBlock + kGuard, 0) {}

void ReadBuffer::keepTail(size_t n) {
  if (n >= kGuard) {
    std::copy_n(block() + n - kGuard, kGuard, storage_.data());
  } else {
    // A short block: shift the old guard left and append what there is.
    std::copy(storage_.begin() + static_cast<std::ptrdiff_t>(n),
              storage_.begin() + static_cast<std::ptrdiff_t>(kGuard), storage_.begin());
    std::copy_n(block(), n, storage_.data() + kGuard - n);
  }
}

void ReadBuffer::clearAfter(size_t n) {
  std::fill_n(block() + n, kGuard, uint8_t{0});
}

RunState::RunState() {
  resetRegistry();
  resetRenumbering();
}

void RunState::resetRegistry() {
  videoIds.fill(-1);
  audioIds.fill(-1);
  subIds.fill(-1);
  videoShown.fill(false);
  audioShown.fill(false);
  subShown.fill(false);
}

void RunState::resetRenumbering() {
  newId.fill(0xFF);
  nextVideo = nextAudio = nextSub = 0;
}

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

}  // namespace

StreamTimes& RunState::times(Family family, int slot) {
  return ofFamily(family, slot, videoTimes, audioTimes, subTimes);
}

const StreamTimes& RunState::times(Family family, int slot) const {
  return ofFamily(family, slot, videoTimes, audioTimes, subTimes);
}

StreamDetails& RunState::details(Family family, int slot) {
  return ofFamily(family, slot, videoDetails, audioDetails, subDetails);
}

const StreamDetails& RunState::details(Family family, int slot) const {
  return ofFamily(family, slot, videoDetails, audioDetails, subDetails);
}

void StreamDetails::set(std::string_view name, std::variant<int64_t, double, std::string> value) {
  for (DetailField& field : fields) {
    if (field.name == name) {
      field.value = std::move(value);
      return;
    }
  }
  fields.push_back({std::string(name), std::move(value)});
}

namespace {

std::optional<int32_t> millisecondsAfter(std::optional<uint32_t> from, std::optional<uint32_t> to) {
  if (!from || !to) return std::nullopt;
  const auto ticks = static_cast<int32_t>(*to - *from);
  return static_cast<int32_t>(std::lround(ticks / 90.0));
}

}  // namespace

std::optional<int32_t> RunState::firstEventMs(Family family, int slot) const {
  return millisecondsAfter(videoTimes[0].firstPts, times(family, slot).firstPts);
}

std::optional<int32_t> RunState::delayMs(Family family, int slot) const {
  if (family != Family::Subpicture) return firstEventMs(family, slot);
  if (!times(family, slot).firstPts || firstPtsMin == 0xFFFFFFFF) return std::nullopt;
  return millisecondsAfter(videoTimes[0].firstPts, firstPtsMin);
}

int32_t RunState::registeredId(Slot slot) const {
  switch (slot.family) {
    case Family::Video:
      return videoIds[slot.index];
    case Family::Audio:
      return audioIds[slot.index];
    case Family::Subpicture:
      return subIds[slot.index];
  }
  return -1;
}

std::optional<Slot> RunState::slotHolding(Family family, int32_t id) const {
  const int slots = family == Family::Video   ? kVideoSlots
                    : family == Family::Audio ? kAudioSlots
                                              : kSubSlots;
  for (int index = 0; index < slots; ++index) {
    if (registeredId({family, index}) == id) return Slot{family, index};
  }
  return std::nullopt;
}

void resetSelection(RunState& state) {
  for (int number = 0; number < kSelectableSlots; ++number) {
    state.selected[number] = false;
    state.streamLabel[number] = emptyBoxCaption(slotAt(number).family);
  }
}

}  // namespace korvell
