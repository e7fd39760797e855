// The selectable stream slots: two video, sixteen audio and sixteen subpicture slots, their
// numbers in the runs' order, their short names and the captions of their empty boxes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvell {

constexpr int kVideoSlots = 2;  // selectable video slots (the table has 16 entries)
constexpr int kAudioSlots = 16;
constexpr int kSubSlots = 16;  // selectable subpicture slots (the table has 32)
constexpr int kSubTableSlots = 32;
constexpr int kSelectableSlots = kVideoSlots + kAudioSlots + kSubSlots;  // 34

/// The three stream families; a selectable slot is a family and an index.
enum class Family { Video, Audio, Subpicture };

/// A selectable slot: video 0..1, audio 0..15 or subpicture 0..15.
struct Slot {
  Family family;
  int index;
  bool operator==(const Slot&) const = default;
};

/// The 34 selectable slots in the order of the runs: video 0 and 1, audio 00 to 15,
/// subpicture 00 to 15. slotAt(i) and slotNumber(slot) convert between the two forms.
Slot slotAt(int number);
int slotNumber(Slot slot);

/// A slot's number as labels and names write it: one digit for video ("0"), two for audio
/// and subpicture ("03", "12").
std::string slotDigits(Slot slot);

/// The short name of a slot: "v0", "a03", "s12".
std::string slotName(Slot slot);

/// The slot a short name names: "v0", "v1", "a00".."a15", "s00".."s15", a single digit
/// accepted for audio and subpicture ("a3"). Nothing for any other text.
std::optional<Slot> slotNamed(std::string_view name);

/// The caption of a stream box that holds no stream: "No video stream", "No audio stream",
/// "No subpicture".
const char* emptyBoxCaption(Family family);

}  // namespace korvell
