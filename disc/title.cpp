#include "disc/title.h"

namespace korvell {

const TitleStream* titleStreamFor(const Title* title, Family family, int slot, int32_t id) {
  if (title == nullptr) return nullptr;
  for (const TitleStream& stream : title->streams) {
    if (stream.family == family && id >= 0 && stream.id == id) return &stream;
  }
  for (const TitleStream& stream : title->streams) {
    if (stream.family == family && (id < 0 || stream.id < 0) && stream.number == slot) {
      return &stream;
    }
  }
  return nullptr;
}

}  // namespace korvell
