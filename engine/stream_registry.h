// The stream registry of a pass: which stream claimed each slot (the first claimer keeps it,
// -1 while the slot is free), one table per family, and whether each stream's detailed report
// has been printed. Reset at the start of every walker pass.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "engine/slots.h"

namespace korvell {

struct StreamRegistry {
  std::array<int32_t, 16> videoIds{};
  std::array<int32_t, 16> audioIds{};
  std::array<int32_t, kSubTableSlots> subIds{};
  std::array<bool, kVideoSlots> videoShown{};
  std::array<bool, 16> audioShown{};
  std::array<bool, kSubTableSlots> subShown{};

  /// Empty: every entry -1, every shown flag clear.
  StreamRegistry() { reset(); }
  /// A pass's start: every entry -1, every shown flag clear.
  void reset();
  /// The entry of a selectable slot.
  int32_t registeredId(Slot slot) const;
  /// The selectable slot whose entry holds `id`, or nothing. A stream claims the slot its
  /// identifier's low bits name unless another stream holds that one already, so the
  /// registry, not the identifier, tells where a stream is.
  std::optional<Slot> slotHolding(Family family, int32_t id) const;
};

}  // namespace korvell
