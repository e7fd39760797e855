#include "engine/slots.h"

namespace korvell {

Slot slotAt(int number) {
  if (number < kVideoSlots) return {Family::Video, number};
  if (number < kVideoSlots + kAudioSlots) return {Family::Audio, number - kVideoSlots};
  return {Family::Subpicture, number - kVideoSlots - kAudioSlots};
}

int slotNumber(Slot slot) {
  switch (slot.family) {
    case Family::Video:
      return slot.index;
    case Family::Audio:
      return kVideoSlots + slot.index;
    case Family::Subpicture:
      return kVideoSlots + kAudioSlots + slot.index;
  }
  return 0;
}

std::string slotDigits(Slot slot) {
  std::string digits = std::to_string(slot.index);
  if (slot.family != Family::Video && digits.size() < 2) digits.insert(0, 1, '0');
  return digits;
}

std::string slotName(Slot slot) {
  const char letter = slot.family == Family::Video ? 'v' : slot.family == Family::Audio ? 'a' : 's';
  return letter + slotDigits(slot);
}

std::optional<Slot> slotNamed(std::string_view name) {
  if (name.size() < 2 || name.size() > 3) return std::nullopt;
  int index = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    index = index * 10 + (name[i] - '0');
  }
  if (name[0] == 'v' && name.size() == 2 && index < kVideoSlots) return Slot{Family::Video, index};
  if (name[0] == 'a' && index < kAudioSlots) return Slot{Family::Audio, index};
  if (name[0] == 's' && index < kSubSlots) return Slot{Family::Subpicture, index};
  return std::nullopt;
}

const char* emptyBoxCaption(Family family) {
  switch (family) {
    case Family::Video:
      return "No video stream";
    case Family::Audio:
      return "No audio stream";
    case Family::Subpicture:
      break;
  }
  return "No subpicture";
}

}  // namespace korvell
