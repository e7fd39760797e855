#include "disc/xpl_model.h"

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <utility>

#include "disc/chapters.h"
#include "disc/dvd_layout.h"
#include "engine/stream_kinds.h"
#include "report/ascii_text.h"

namespace korvell {

namespace {

bool named(const pugi::xml_node& node, std::string_view name) {
  return node.type() == pugi::node_element && equalsIgnoringAsciiCase(node.name(), name);
}

// An attribute's value by its name in any case; empty when absent.
std::string_view attribute(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (equalsIgnoringAsciiCase(a.name(), name)) return a.value();
  }
  return {};
}

bool hasAttribute(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (equalsIgnoringAsciiCase(a.name(), name)) return true;
  }
  return false;
}

// A decimal number of at most six digits, or 0.
int number(std::string_view text) {
  if (text.empty() || text.size() > 6) return 0;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A hexadecimal number of one or two digits, or -1.
int hexNumber(std::string_view text) {
  if (text.empty() || text.size() > 2) return -1;
  int value = 0;
  for (const char c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Every element below `root` in document order, `root` left out.
template <typename Visit>
void forEachElement(const pugi::xml_node& root, Visit visit) {
  for (pugi::xml_node node = root.first_child(); node;) {
    if (node.type() == pugi::node_element) visit(node);
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling() && node != root)
      node = node.parent();
    if (!node || node == root) break;
    node = node.next_sibling();
  }
}

bool mentions(const pugi::xml_node& node, std::string_view baseName) {
  if (std::string_view(node.name()).find(baseName) != std::string_view::npos) return true;
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (std::string_view(a.value()).find(baseName) != std::string_view::npos) return true;
  }
  return false;
}

// The first element, in document order, that mentions the base name.
pugi::xml_node firstMention(const pugi::xml_node& root, std::string_view baseName) {
  pugi::xml_node found;
  forEachElement(root, [&](const pugi::xml_node& node) {
    if (!found && mentions(node, baseName)) found = node;
  });
  return found;
}

// The nearest element called `name` above a node, the node itself included.
pugi::xml_node enclosing(pugi::xml_node node, std::string_view name) {
  for (; node; node = node.parent()) {
    if (named(node, name)) return node;
  }
  return {};
}

// What a media attribute item says about a stream.
struct MediaAttributes {
  std::string codec;
  int channels = 0;
  int sampleRate = 0;
};
using AttributeItems = std::map<std::pair<Family, int>, MediaAttributes>;

AttributeItems attributeItems(const pugi::xml_node& root) {
  AttributeItems items;
  const std::pair<const char*, Family> kinds[] = {{"VideoAttributeItem", Family::Video},
                                                  {"AudioAttributeItem", Family::Audio},
                                                  {"SubpictureAttributeItem", Family::Subpicture}};
  forEachElement(root, [&](const pugi::xml_node& node) {
    for (const auto& [name, family] : kinds) {
      if (!named(node, name)) continue;
      // sampleFrequency is in kHz ("48", "96").
      items.try_emplace({family, number(attribute(node, "index"))},
                        MediaAttributes{std::string(attribute(node, "codec")),
                                        number(attribute(node, "channels")),
                                        number(attribute(node, "sampleFrequency")) * 1000});
    }
  });
  return items;
}

// The identifier a stream of the playlist's codec (its row, or null) numbered `n` (from 0) has
// in the program stream: subtitles are substream 0x20 + n whatever their codec.
int streamId(Family family, const StreamKindInfo* kind, int n) {
  if (family == Family::Subpicture) return n < 32 ? 0x20 + n : -1;
  return kind == nullptr ? -1 : idOfSlot(*kind, n);
}

// The track list entry of a title for a track of a family ("AudioTrack" for Audio), or none.
pugi::xml_node trackEntry(const pugi::xml_node& titleNode, std::string_view entryName,
                          std::string_view track) {
  pugi::xml_node found;
  forEachElement(titleNode, [&](const pugi::xml_node& node) {
    if (!found && named(node, entryName) && attribute(node, "track") == track &&
        named(node.parent(), "TrackNavigationList")) {
      found = node;
    }
  });
  return found;
}

void addStream(const pugi::xml_node& titleNode, const pugi::xml_node& node, Family family,
               const AttributeItems& items, Title& title) {
  const bool video = family == Family::Video;
  const int n = number(attribute(node, video ? "track" : "streamNumber"));
  if (n < 1 || n > 16) return;
  for (const TitleStream& listed : title.streams) {
    if (listed.family == family && listed.number == n - 1) return;
  }
  TitleStream stream;
  stream.family = family;
  stream.number = n - 1;
  const std::string_view mediaAttr = attribute(node, "mediaAttr");
  const auto item = items.find({family, mediaAttr.empty() ? 1 : number(mediaAttr)});
  const StreamKindInfo* kind = nullptr;
  if (item != items.end()) {
    kind = kindOfDiscCodec(family, item->second.codec);
    // The table's name for a codec it knows; the playlist's own word for another.
    stream.codec =
        kind != nullptr && family != Family::Subpicture ? kind->displayName : item->second.codec;
    stream.channels = item->second.channels;
    stream.sampleRate = item->second.sampleRate;
  }
  stream.id = streamId(family, kind, stream.number);
  if (!video) {
    const bool audio = family == Family::Audio;
    const pugi::xml_node entry =
        trackEntry(titleNode, audio ? "AudioTrack" : "SubtitleTrack", attribute(node, "track"));
    const pugi::xml_node source = entry ? entry : node;
    const std::string_view langcode = attribute(source, "langcode");
    const size_t colon = langcode.find(':');
    stream.language = languageCode(langcode.substr(0, colon));
    const int extension =
        colon == std::string_view::npos ? -1 : hexNumber(langcode.substr(colon + 1));
    stream.name = attribute(source, "description");
    if (stream.name.empty()) stream.name = attribute(node, "description");
    if (stream.name.empty() && extension > 0) {
      stream.name =
          audio ? dvd::audioDescription(extension) : dvd::subpictureDescription(extension);
    }
    stream.forced = !audio && (equalsIgnoringAsciiCase("true", attribute(source, "forced")) ||
                               dvd::forcedSubpicture(extension));
  }
  title.streams.push_back(std::move(stream));
}

std::optional<int64_t> ticksOf(const pugi::xml_node& node, std::string_view name, int frameRate) {
  return titleTimeTicks(attribute(node, name), frameRate);
}

XplClip readClip(const pugi::xml_node& node, int frameRate) {
  XplClip clip;
  clip.src = attribute(node, "src");
  clip.mapName = clip.src.substr(clip.src.find_last_of('/') + 1);
  clip.titleBegin = ticksOf(node, "titleTimeBegin", frameRate);
  clip.titleEnd = ticksOf(node, "titleTimeEnd", frameRate);
  if (hasAttribute(node, "clipTimeBegin")) {
    const std::optional<int64_t> begin = ticksOf(node, "clipTimeBegin", frameRate);
    clip.clipBeginValid = begin.has_value();
    clip.clipBegin = begin.value_or(0);
  }
  forEachElement(node, [&](const pugi::xml_node& child) {
    if (named(child, "Video") && hasAttribute(child, "angleNumber")) {
      clip.angle = number(attribute(child, "angleNumber"));
    }
  });
  return clip;
}

XplTitle readTitle(const pugi::xml_node& titleNode, const AttributeItems& items) {
  const pugi::xml_node titleSet = enclosing(titleNode, "TitleSet");
  const int frameRate = timeBaseFrameRate(titleSet ? attribute(titleSet, "timeBase") : "");
  const std::string defaultLanguage =
      titleSet ? languageCode(attribute(titleSet, "defaultLanguage")) : std::string();

  XplTitle result;
  result.firstPlay = named(titleNode, "FirstPlayTitle");
  result.id = attribute(titleNode, "id");
  result.durationText = attribute(titleNode, "titleDuration");
  Title& title = result.title;
  title.name = attribute(titleNode, "displayName");
  if (title.name.empty()) title.name = result.id;
  title.number = result.firstPlay ? 0 : number(attribute(titleNode, "titleNumber"));
  result.durationTicks = titleTimeTicks(result.durationText, frameRate);
  if (result.durationTicks) {
    title.durationSeconds =
        static_cast<double>(titleTicksNs(*result.durationTicks, frameRate)) / 1e9;
    result.durationKnown = true;
  }
  forEachElement(titleNode, [&](const pugi::xml_node& node) {
    if (named(node, "PrimaryAudioVideoClip")) {
      result.clips.push_back(readClip(node, frameRate));
    } else if (named(node, "Video")) {
      addStream(titleNode, node, Family::Video, items, title);
    } else if (named(node, "Audio")) {
      addStream(titleNode, node, Family::Audio, items, title);
    } else if (named(node, "Subtitle")) {
      addStream(titleNode, node, Family::Subpicture, items, title);
    } else if (named(node, "Chapter")) {
      const std::optional<int64_t> start =
          titleTimeNs(attribute(node, "titleTimeBegin"), frameRate);
      if (!start) return;
      Chapter chapter{*start, std::string(attribute(node, "displayName")),
                      languageCode(attribute(node, "language"))};
      if (chapter.language.empty()) chapter.language = defaultLanguage;
      title.chapters.push_back(std::move(chapter));
    }
  });
  return result;
}

// Invalid, with the parser's reason and its byte offset, when the bytes are no XML document.
Status parse(std::string_view bytes, pugi::xml_document& document) {
  // Bytes are taken as they are: names keep what the file holds (see displayUtf8).
  const pugi::xml_parse_result parsed =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (parsed) return {};
  return Status::invalid(std::string(parsed.description()) + " at byte " +
                         std::to_string(parsed.offset));
}

}  // namespace

bool XplDocument::hasClip() const {
  for (const XplTitle& title : titles) {
    if (!title.clips.empty()) return true;
  }
  return false;
}

Status readXplDocument(std::string_view bytes, XplDocument* doc) {
  pugi::xml_document document;
  if (Status parsed = parse(bytes, document); !parsed.ok()) return parsed;
  XplDocument result;
  const AttributeItems items = attributeItems(document);
  bool rateKnown = false;
  forEachElement(document, [&](const pugi::xml_node& node) {
    if (named(node, "TitleSet") && !rateKnown) {
      result.frameRate = timeBaseFrameRate(attribute(node, "timeBase"));
      rateKnown = true;
    }
    if (named(node, "Title") || named(node, "FirstPlayTitle")) {
      result.titles.push_back(readTitle(node, items));
    }
  });
  *doc = std::move(result);
  return {};
}

Status playlistTitle(std::string_view bytes, std::string_view baseName, XplTitle* title) {
  pugi::xml_document document;
  if (Status parsed = parse(bytes, document); !parsed.ok()) return parsed;
  const pugi::xml_node titleNode =
      baseName.empty() ? pugi::xml_node() : enclosing(firstMention(document, baseName), "Title");
  if (!titleNode) {
    return Status::failure(Status::Code::NotFound,
                           baseName.empty() ? std::string("no file is named")
                                            : "no Title element mentions " + std::string(baseName));
  }
  *title = readTitle(titleNode, attributeItems(document));
  return {};
}

}  // namespace korvell
