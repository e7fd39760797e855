// The streams the user chose (the window's boxes, the command line's --select) and the label
// of each selectable slot. The walker and the rebuild pass read the selection at each
// decision, so a change made while a run lets events through takes effect at once.
#pragma once

#include <array>
#include <string>

#include "engine/slots.h"

namespace korvell {

struct Selection {
  std::array<bool, kSelectableSlots> selected{};
  std::array<std::string, kSelectableSlots> streamLabel{};

  /// Every slot unselected and labelled with its empty box's caption.
  Selection() { reset(); }
  void reset() {
    for (int number = 0; number < kSelectableSlots; ++number) {
      selected[static_cast<size_t>(number)] = false;
      streamLabel[static_cast<size_t>(number)] = emptyBoxCaption(slotAt(number).family);
    }
  }
  bool isSelected(Slot slot) const { return selected[static_cast<size_t>(slotNumber(slot))]; }
};

}  // namespace korvell
