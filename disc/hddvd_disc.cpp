#include "disc/hddvd_disc.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "disc/chapters.h"
#include "disc/disc_layout.h"
#include "disc/time_map.h"
#include "disc/xpl_model.h"
#include "engine/big_endian.h"
#include "engine/file_kinds.h"
#include "engine/packs.h"
#include "engine/path_names.h"

namespace korvell {

namespace {

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The duration an EVO's first navigation packet gives: its data search information (private
// stream 2, substream byte 1) holds the first video frame's time at bytes 44-47 and the last
// one's at 48-51 after the substream byte, 90 kHz ticks. The packet lies in the first pack.
std::optional<double> evoDurationSeconds(FileSystem& files, const std::string& path) {
  std::unique_ptr<ByteSource> source;
  if (!files.openForReading(path, &source).ok()) return std::nullopt;
  uint8_t pack[kPackSize] = {};
  size_t got = 0;
  if (!source->read(pack, sizeof pack, got).ok()) return std::nullopt;
  constexpr size_t kDataBytes = 52;
  for (size_t at = 0; at + 7 + kDataBytes <= got; ++at) {
    if (pack[at] != 0 || pack[at + 1] != 0 || pack[at + 2] != 1 || pack[at + 3] != 0xBF ||
        pack[at + 6] != 1) {
      continue;
    }
    const uint8_t* data = pack + at + 7;
    const uint32_t first = be32(data + 44);
    const uint32_t last = be32(data + 48);
    return static_cast<double>(last - first) / 90000.0;
  }
  return std::nullopt;
}

// The EVO and the time map of a clip, read once however many clips use them.
struct ClipSource {
  std::string evoPath;
  std::optional<uint64_t> evoSize;  ///< empty when the EVO cannot be opened
  std::string evoProblem;
  std::string mapPath;
  std::optional<TimeMap> map;  ///< empty when the map cannot be used
  std::string mapProblem;      ///< why, when it cannot
  std::optional<double> evoSeconds;
  bool evoSecondsRead = false;
};

class TitleReader {
 public:
  TitleReader(FileSystem& files, std::string hvdvdTs, int frameRate,
              std::vector<std::string>& notes)
      : files_(files), hvdvdTs_(std::move(hvdvdTs)), frameRate_(frameRate), notes_(notes) {}

  // Reads a title into *title; why (one line) when it cannot be played.
  Status read(const XplTitle& entry, Title* title) {
    *title = entry.title;
    title->clips = static_cast<int>(entry.clips.size());
    if (entry.clips.empty()) return Status::readFailed("it has no clip");
    int64_t end = 0;
    for (size_t i = 0; i < entry.clips.size(); ++i) {
      FileExtent extent;
      if (Status clip = clipExtent(entry.clips[i], i + 1, &extent); !clip.ok()) return clip;
      end = std::max(end, *entry.clips[i].titleEnd);
      std::vector<FileExtent>& extents = title->extents;
      if (!extents.empty() && extents.back().path == extent.path &&
          extents.back().offset + extents.back().length == extent.offset) {
        extents.back().length += extent.length;
      } else {
        extents.push_back(std::move(extent));
      }
    }
    if (!entry.durationKnown) {
      title->durationSeconds = static_cast<double>(titleTicksNs(end, frameRate_)) / 1e9;
    }
    return {};
  }

 private:
  ClipSource& sourceOf(const std::string& mapName) {
    const auto found = sources_.find(mapName);
    if (found != sources_.end()) return found->second;
    ClipSource& source = sources_[mapName];
    const std::string evoName = CutExt(mapName) + ".EVO";
    source.evoPath = findEntryIgnoringCase(files_, hvdvdTs_, evoName);
    if (source.evoPath.empty()) source.evoPath = joinPath(hvdvdTs_, evoName);
    std::unique_ptr<ByteSource> evo;
    if (const Status opened = files_.openForReading(source.evoPath, &evo); opened.ok()) {
      source.evoSize = evo->size();
    } else {
      source.evoProblem = "cannot open " + quoted(source.evoPath) + ": " + opened.reason();
    }
    source.mapPath = findEntryIgnoringCase(files_, hvdvdTs_, mapName);
    if (source.mapPath.empty()) {
      source.mapPath = joinPath(hvdvdTs_, mapName);
      source.mapProblem = "it is missing";
      return source;
    }
    std::string bytes;
    if (const Status read = readWholeFile(files_, source.mapPath, kMaxTimeMapSize, &bytes);
        !read.ok()) {
      source.mapProblem = read.reason();
      return source;
    }
    TimeMap map;
    if (const Status parsed = parseTimeMap(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), &map);
        parsed.ok()) {
      source.map = std::move(map);
    } else {
      source.mapProblem = parsed.reason();
    }
    if (source.map && !source.map->interleaved() && source.evoSize &&
        source.map->packs() * kPackSize != *source.evoSize) {
      source.mapProblem = "its entries add up to " + std::to_string(source.map->packs()) +
                          " packs, the EVO has " + std::to_string(*source.evoSize / kPackSize) +
                          (*source.evoSize % kPackSize != 0 ? " and a part" : "");
      source.map.reset();
    }
    return source;
  }

  std::optional<double> evoSeconds(ClipSource& source) {
    if (!source.evoSecondsRead) {
      source.evoSeconds = evoDurationSeconds(files_, source.evoPath);
      source.evoSecondsRead = true;
    }
    return source.evoSeconds;
  }

  Status clipExtent(const XplClip& clip, size_t index, FileExtent* extent) {
    const std::string name = "clip " + std::to_string(index);
    if (clip.mapName.size() < 5 || upperExtension(clip.mapName) != ".MAP") {
      return Status::readFailed(name + " names no time map (src " + quoted(clip.src) + ")");
    }
    if (!clip.titleBegin || !clip.titleEnd || !clip.clipBeginValid ||
        *clip.titleEnd <= *clip.titleBegin) {
      return Status::readFailed(name +
                                " has no valid titleTimeBegin, titleTimeEnd and clipTimeBegin");
    }
    ClipSource& source = sourceOf(clip.mapName);
    if (!source.evoSize) return Status::openFailed(name + ": " + source.evoProblem);
    if (source.map && source.map->interleaved()) {
      return Status::readFailed(
          name + ": " + quoted(source.mapPath) + " maps an interleaved block of " +
          std::to_string(source.map->angles) + " angles, which Korvell does not read");
    }
    const int64_t length = *clip.titleEnd - *clip.titleBegin;
    extent->path = source.evoPath;
    if (source.map) {
      ByteRun run;
      if (const Status clipped = clipBytes(*source.map, static_cast<uint64_t>(clip.clipBegin),
                                           static_cast<uint64_t>(clip.clipBegin + length), &run);
          !clipped.ok()) {
        return Status::readFailed(name + " plays nothing of " + quoted(source.evoPath) + ": " +
                                  clipped.reason());
      }
      extent->offset = run.offset;
      extent->length = run.length;
      return {};
    }
    // Without a map, only a clip that plays the whole EVO can be read.
    const std::optional<double> seconds = evoSeconds(source);
    const bool whole = clip.clipBegin == 0 && seconds &&
                       static_cast<double>(length) / frameRate_ + 1.0 >= *seconds;
    if (!whole) {
      return Status::readFailed(name + " plays part of " + quoted(source.evoPath) +
                                ", but its time map " + quoted(source.mapPath) +
                                " cannot be used: " + source.mapProblem);
    }
    const std::string note = quoted(source.mapPath) + " was not used (" + source.mapProblem +
                             "): " + name + " plays the whole of " + quoted(source.evoPath) + ".";
    if (std::find(notes_.begin(), notes_.end(), note) == notes_.end()) notes_.push_back(note);
    extent->offset = 0;
    extent->length = *source.evoSize;
    return {};
  }

  FileSystem& files_;
  std::string hvdvdTs_;
  int frameRate_;
  std::vector<std::string>& notes_;
  std::map<std::string, ClipSource> sources_;
};

// Reads the playlist at path into *document; a failure whose reason is a problem line when it
// cannot be read (ReadFailed) or is no XML document (Invalid).
Status readPlaylistFile(FileSystem& files, const std::string& path, XplDocument* document) {
  std::string bytes;
  if (const Status read = readWholeFile(files, path, kMaxPlaylistModelBytes, &bytes); !read.ok()) {
    return Status::readFailed("cannot read " + quoted(path) + ": " + read.reason());
  }
  if (const Status parsed = readXplDocument(bytes, document); !parsed.ok()) {
    return Status::invalid(quoted(path) + " is not an XML document: " + parsed.reason());
  }
  return {};
}

}  // namespace

HdDvdDisc readHdDvdTitles(const std::string& discPath, FileSystem& files,
                          const std::string& playlistPath) {
  HdDvdDisc disc;
  const std::optional<HdDvdFolders> folders = findHdDvd(discPath, files);
  if (!folders) {
    disc.status = Status::openFailed("Cannot find an HVDVD_TS or ADV_OBJ folder in or above " +
                                     quoted(discPath));
    return disc;
  }
  disc.root = folders->root;
  std::optional<XplDocument> document;
  if (!playlistPath.empty()) {
    document.emplace();
    if (const Status read = readPlaylistFile(files, playlistPath, &*document); !read.ok()) {
      disc.status = read;
      return disc;
    }
    disc.playlistPath = playlistPath;
    disc.notes.push_back("Playlist " + quoted(playlistPath) + ", as named.");
  } else {
    const std::vector<std::string> playlists = discPlaylists(files, folders->advObj);
    if (playlists.empty()) {
      disc.status =
          Status::openFailed("Cannot find a playlist (VPLST000.XPL to VPLST999.XPL) in " +
                             quoted(folders->advObj.empty() ? folders->root : folders->advObj));
      return disc;
    }
    std::vector<std::string> passedOver;
    for (auto path = playlists.rbegin(); path != playlists.rend() && !document; ++path) {
      XplDocument candidate;
      const Status read = readPlaylistFile(files, *path, &candidate);
      if (read.ok() && candidate.hasClip()) {
        document = std::move(candidate);
        disc.playlistPath = *path;
      } else {
        passedOver.push_back(read.ok() ? quoted(*path) +
                                             " has no clip (a playlist that only loads "
                                             "another one)"
                                       : read.reason());
      }
    }
    for (const std::string& why : passedOver)
      disc.notes.push_back("Passed over: " + why + ".");
    if (!document) {
      disc.status = Status::readFailed("No playlist of " + quoted(folders->root) +
                                       " has a clip to play: " + passedOver.front());
      disc.notes.clear();
      return disc;
    }
    disc.notes.insert(disc.notes.begin(),
                      "Playlist " + quoted(disc.playlistPath) +
                          (passedOver.empty() ? ", the highest-numbered one."
                                              : ", the highest-numbered one with a clip."));
  }

  TitleReader reader(files, folders->hvdvdTs, document->frameRate, disc.notes);
  int number = 0;
  for (const XplTitle& entry : document->titles) {
    Title title;
    const int titleNumber = entry.firstPlay ? 0 : ++number;
    if (Status read = reader.read(entry, &title); !read.ok()) {
      disc.problems.push_back({titleNumber, std::move(read)});
      continue;
    }
    title.number = titleNumber;
    title.baseName = entry.firstPlay ? "FIRST_PLAY" : "TITLE_" + std::to_string(titleNumber);
    if (entry.firstPlay) {
      disc.firstPlay = std::move(title);
    } else {
      disc.titles.push_back(std::move(title));
    }
  }
  return disc;
}

}  // namespace korvell
