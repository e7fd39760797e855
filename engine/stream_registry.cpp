#include "engine/stream_registry.h"

namespace korvell {

void StreamRegistry::reset() {
  videoIds.fill(-1);
  audioIds.fill(-1);
  subIds.fill(-1);
  videoShown.fill(false);
  audioShown.fill(false);
  subShown.fill(false);
}

int32_t StreamRegistry::registeredId(Slot slot) const {
  const auto index = static_cast<size_t>(slot.index);
  switch (slot.family) {
    case Family::Video:
      return videoIds[index];
    case Family::Audio:
      return audioIds[index];
    case Family::Subpicture:
      return subIds[index];
  }
  return -1;
}

std::optional<Slot> StreamRegistry::slotHolding(Family family, int32_t id) const {
  const int slots = family == Family::Video   ? kVideoSlots
                    : family == Family::Audio ? kAudioSlots
                                              : kSubSlots;
  for (int index = 0; index < slots; ++index) {
    if (registeredId({family, index}) == id) return Slot{family, index};
  }
  return std::nullopt;
}

}  // namespace korvell
