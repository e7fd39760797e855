#include "disc/xpl_model.h"

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <utility>

#include "disc/chapters.h"

namespace korvell {

namespace {

bool namesEqual(const char* a, std::string_view b) {
  const size_t length = std::strlen(a);
  if (length != b.size()) return false;
  for (size_t i = 0; i < length; ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool named(const pugi::xml_node& node, std::string_view name) {
  return node.type() == pugi::node_element && namesEqual(node.name(), name);
}

// An attribute's value by its name in any case; empty when absent.
std::string_view attribute(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (namesEqual(a.name(), name)) return a.value();
  }
  return {};
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

bool mentions(const pugi::xml_node& node, std::string_view baseName) {
  if (std::string_view(node.name()).find(baseName) != std::string_view::npos) return true;
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (std::string_view(a.value()).find(baseName) != std::string_view::npos) return true;
  }
  return false;
}

// The first element, in document order, that mentions the base name.
pugi::xml_node firstMention(const pugi::xml_node& root, std::string_view baseName) {
  for (pugi::xml_node node = root.first_child(); node;) {
    if (node.type() == pugi::node_element && mentions(node, baseName)) return node;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling() && node != root)
      node = node.parent();
    if (!node || node == root) break;
    node = node.next_sibling();
  }
  return {};
}

// The codec of each media attribute item, by family and index.
using AttributeCodecs = std::map<std::pair<Family, int>, std::string>;

AttributeCodecs attributeCodecs(const pugi::xml_node& root) {
  AttributeCodecs codecs;
  const std::pair<const char*, Family> items[] = {{"VideoAttributeItem", Family::Video},
                                                  {"AudioAttributeItem", Family::Audio},
                                                  {"SubpictureAttributeItem", Family::Subpicture}};
  for (const pugi::xpath_node& found : root.select_nodes("//*")) {
    const pugi::xml_node node = found.node();
    for (const auto& [name, family] : items) {
      if (!named(node, name)) continue;
      codecs.try_emplace({family, number(attribute(node, "index"))}, attribute(node, "codec"));
    }
  }
  return codecs;
}

// The Title element above a node, and the TitleSet above that.
pugi::xml_node enclosing(pugi::xml_node node, std::string_view name) {
  for (; node; node = node.parent()) {
    if (named(node, name)) return node;
  }
  return {};
}

void addStream(const pugi::xml_node& node, Family family, std::string_view numberAttribute,
               const AttributeCodecs& codecs, Title& title) {
  const int n = number(attribute(node, numberAttribute));
  if (n < 1 || n > 16) return;
  for (const TitleStream& listed : title.streams) {
    if (listed.family == family && listed.number == n - 1) return;
  }
  TitleStream stream;
  stream.family = family;
  stream.number = n - 1;
  const std::string_view langcode = attribute(node, "langcode");
  stream.language = languageCode(langcode.substr(0, langcode.find(':')));
  stream.name = attribute(node, "description");
  const auto codec = codecs.find({family, number(attribute(node, "mediaAttr"))});
  if (codec != codecs.end()) stream.codec = codec->second;
  title.streams.push_back(std::move(stream));
}

}  // namespace

std::optional<XplTitle> playlistTitle(std::string_view bytes, std::string_view baseName,
                                      std::string* error) {
  pugi::xml_document document;
  // Bytes are taken as they are: names keep what the file holds (see displayUtf8).
  const pugi::xml_parse_result parsed =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    if (error != nullptr) *error = parsed.description();
    return std::nullopt;
  }
  if (baseName.empty()) return std::nullopt;
  const pugi::xml_node mention = firstMention(document, baseName);
  const pugi::xml_node titleNode = enclosing(mention, "Title");
  if (!titleNode) return std::nullopt;
  const pugi::xml_node titleSet = enclosing(titleNode, "TitleSet");
  const int frameRate = timeBaseFrameRate(titleSet ? attribute(titleSet, "timeBase") : "");
  const std::string defaultLanguage =
      titleSet ? languageCode(attribute(titleSet, "defaultLanguage")) : std::string();

  XplTitle result;
  result.id = attribute(titleNode, "id");
  result.durationText = attribute(titleNode, "titleDuration");
  Title& title = result.title;
  title.name = attribute(titleNode, "displayName");
  if (title.name.empty()) title.name = result.id;
  title.number = number(attribute(titleNode, "titleNumber"));
  if (const auto ns = titleTimeNs(result.durationText, frameRate)) {
    title.durationSeconds = static_cast<double>(*ns) / 1e9;
    result.durationKnown = true;
  }
  const AttributeCodecs codecs = attributeCodecs(document);
  for (const pugi::xpath_node& found : titleNode.select_nodes(".//*")) {
    const pugi::xml_node node = found.node();
    if (named(node, "Video")) {
      addStream(node, Family::Video, "track", codecs, title);
    } else if (named(node, "Audio")) {
      addStream(node, Family::Audio, "streamNumber", codecs, title);
    } else if (named(node, "Subtitle")) {
      addStream(node, Family::Subpicture, "streamNumber", codecs, title);
    } else if (named(node, "Chapter")) {
      const std::optional<int64_t> start =
          titleTimeNs(attribute(node, "titleTimeBegin"), frameRate);
      if (!start) continue;
      Chapter chapter{*start, std::string(attribute(node, "displayName")),
                      languageCode(attribute(node, "language"))};
      if (chapter.language.empty()) chapter.language = defaultLanguage;
      title.chapters.push_back(std::move(chapter));
    }
  }
  return result;
}

}  // namespace korvell
