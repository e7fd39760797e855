#include "engine/stream_kinds.h"

#include "report/ascii_text.h"

namespace korvell {

const StreamKindInfo* kindOfDiscCodec(Family family, std::string_view name) {
  for (const StreamKindInfo& kind : kStreamKinds) {
    if (!kind.registered || kind.family != family || kind.files == Files::AudioObject) continue;
    if ((kind.playlistCodec != nullptr && equalsIgnoringAsciiCase(kind.playlistCodec, name)) ||
        equalsIgnoringAsciiCase(kind.displayName, name)) {
      return &kind;
    }
  }
  return nullptr;
}

const StreamKindInfo* kindOfIfoAudioFormat(int format) {
  if (format < 0 || format > 7) return nullptr;
  for (const StreamKindInfo& kind : kStreamKinds) {
    if ((kind.ifoAudioFormats >> format & 1) != 0) return &kind;
  }
  return nullptr;
}

}  // namespace korvell
