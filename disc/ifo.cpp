#include "disc/ifo.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "disc/dvd_layout.h"
#include "disc/ifo_bounds.h"
#include "engine/big_endian.h"
#include "engine/byte_io.h"
#include "engine/packs.h"

namespace korvell {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxTitleSets = 99;
constexpr uint64_t kScrambleCheckBytes = 32 * kPackSize;  // the packs a title starts with
constexpr size_t kIfoHeader = 0x100;  // the identifier, the last sector, the table addresses
constexpr size_t kIfoLastSector = 0x1C;
// An IFO holds tables of a few hundred kilobytes at most; a larger file is no IFO.
constexpr uint64_t kMostIfoBytes = uint64_t{64} << 20;

std::string inQuotes(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

// libdvdread's messages go to the disc's list instead of stderr, each on one line.
void keepMessage(void* messages, dvd_logger_level_t, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  std::string line;
  for (const char* c = text; *c != '\0'; ++c) {
    const bool blank = *c == ' ' || *c == '\n' || *c == '\r' || *c == '\t';
    if (!blank) {
      line += *c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  if (line.starts_with("libdvdread: ")) line.erase(0, 12);
  static_cast<std::vector<std::string>*>(messages)->push_back(line);
}
const dvd_logger_cb kLogger = {keepMessage};

struct ReaderClose {
  void operator()(dvd_reader_t* reader) const { DVDClose(reader); }
};
struct IfoClose {
  void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using ReaderHandle = std::unique_ptr<dvd_reader_t, ReaderClose>;
using IfoHandle = std::unique_ptr<ifo_handle_t, IfoClose>;

// The folder that holds VIDEO_TS.IFO, from the folder that holds VIDEO_TS, VIDEO_TS itself or
// a file in it.
Status findVideoTs(const FileSystem& files, const std::string& discPath, fs::path* folder) {
  fs::path path(discPath);
  if (!files.isFolder(path.string()) && !files.isFile(path.string())) {
    return Status::openFailed("Cannot find " + inQuotes(path));
  }
  if (!files.isFolder(path.string())) path = path.has_parent_path() ? path.parent_path() : ".";
  const fs::path child = dvd::findFileIgnoringCase(files, path, "VIDEO_TS");
  if (files.isFolder(child.string())) {
    *folder = child;
    return {};
  }
  if (files.isFile(dvd::findFileIgnoringCase(files, path, "VIDEO_TS.IFO").string()) ||
      files.isFile(dvd::findFileIgnoringCase(files, path, "VIDEO_TS.BUP").string())) {
    *folder = path;
    return {};
  }
  return Status::openFailed("Cannot find a VIDEO_TS folder or a VIDEO_TS.IFO file in " +
                            inQuotes(path));
}

// Why libdvdread could read neither an IFO nor its backup, told from the IFO itself and from
// the table libdvdread names in the messages it gave from `firstMessage` on ("Unable to read
// PTT search table.").
Status ifoFailure(FileSystem& files, const fs::path& ifo, const char* identifier,
                  const std::vector<std::string>& messages, size_t firstMessage) {
  if (!files.isFile(ifo.string())) return Status::openFailed("Cannot find " + inQuotes(ifo));
  const std::string cannot = "Cannot read " + inQuotes(ifo) + ": ";
  std::unique_ptr<ByteSource> file;
  if (Status opened = files.openForReading(ifo.string(), &file); !opened.ok()) {
    return Status::openFailed(cannot + opened.reason());
  }
  uint8_t header[kIfoHeader] = {};
  size_t got = 0;
  if (Status read = file->read(header, sizeof header, got); !read.ok()) {
    return Status::readFailed(cannot + read.reason());
  }
  const std::string id(identifier);
  if (got >= id.size() && !std::equal(id.begin(), id.end(), header)) {
    return Status::readFailed(cannot + "it is not a DVD-Video IFO file (it does not begin with " +
                              id + ")");
  }
  const uint64_t lastSector = be32(header + kIfoLastSector);
  if (got < sizeof header || file->size() < kPackSize ||
      file->size() < (lastSector + 1) * kPackSize) {
    return Status::readFailed(cannot + "it is truncated");
  }
  std::vector<uint8_t> bytes(header, header + got);
  bytes.resize(static_cast<size_t>(file->size()));
  size_t more = 0;
  if (file->read(bytes.data() + got, bytes.size() - got, more).ok()) {
    const Status outside = dvd::ifoPartOutsideFile({bytes.data(), got + more}, id);
    if (!outside.ok())
      return Status::readFailed(cannot + "it is damaged (" + outside.reason() + ")");
  }
  std::string reason = cannot + "it is damaged";
  for (size_t i = messages.size(); i > firstMessage; --i) {
    if (messages[i - 1].starts_with("Unable to read")) {
      reason += " (libdvdread: " + messages[i - 1] + ")";
      break;
    }
  }
  return Status::readFailed(reason);
}

// libdvdread reads IFO files only from a scratch folder of this reading, into which each is
// copied once dvd::ifoPartOutsideFile has found nothing outside it: so it never opens a file
// that was not checked, not even a backup that it would turn to on its own. The bytes come
// through the disc's FileSystem, so a folder and a disc image are read the same way, and
// libdvdread never reads an image itself.
class IfoStage {
 public:
  IfoStage() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "korvell-ifo-XXXXXX").string();
    if (!ec && ::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  }
  ~IfoStage() {
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
  }
  IfoStage(const IfoStage&) = delete;
  IfoStage& operator=(const IfoStage&) = delete;
  /// Empty when the folder could not be made.
  const fs::path& folder() const { return folder_; }
  /// Copies `source` of `files` into the folder as `name` when it passes the check; false
  /// otherwise.
  bool place(FileSystem& files, const fs::path& source, const std::string& name,
             const char* identifier) const {
    std::unique_ptr<ByteSource> in;
    if (!files.openForReading(source.string(), &in).ok() || in->size() > kMostIfoBytes) {
      return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(in->size()));
    for (size_t done = 0, got = 0; done < bytes.size(); done += got) {
      if (!in->read(bytes.data() + done, bytes.size() - done, got).ok() || got == 0) return false;
    }
    if (!dvd::ifoPartOutsideFile(bytes, identifier).ok()) return false;
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
  }

 private:
  fs::path folder_;
};

// Reads single sectors of a title set's VOB files, keeping the last file open.
class SectorReader {
 public:
  SectorReader(FileSystem& files, const std::vector<dvd::VobPart>& parts)
      : files_(files), parts_(parts) {}
  std::optional<dvd::InterleavedUnit> unitAt(uint64_t sector) {
    for (const dvd::VobPart& part : parts_) {
      if (sector < part.firstSector || sector >= part.firstSector + part.sectors) continue;
      if (path_ != part.path) {
        file_.reset();
        path_ = part.path;
        if (!files_.openForReading(path_, &file_).ok()) return std::nullopt;
      }
      uint8_t buffer[kPackSize];
      size_t got = 0;
      if (!file_->seek((sector - part.firstSector) * kPackSize).ok() ||
          !file_->read(buffer, sizeof buffer, got).ok() || got != sizeof buffer) {
        file_.reset();
        path_.clear();
        return std::nullopt;
      }
      return dvd::readInterleavedUnit(buffer);
    }
    return std::nullopt;
  }

 private:
  FileSystem& files_;
  const std::vector<dvd::VobPart>& parts_;
  std::string path_;
  std::unique_ptr<ByteSource> file_;
};

// A problem of a title with what a title set's IFO data says.
Status badIfo(const fs::path& ifo, const std::string& what) {
  return Status::readFailed("Cannot read " + inQuotes(ifo) + ": " + what);
}

dvd::BcdTime timeOf(const dvd_time_t& time) {
  return {time.hour, time.minute, time.second, time.frame_u};
}

// The scrambling check: the first packs of the title, read as any input is read.
Status checkNotScrambled(FileSystem& files, const FileExtent& first) {
  std::unique_ptr<ByteSource> file;
  if (Status opened = files.openForReading(first.path, &file); !opened.ok()) {
    return Status::openFailed("Cannot open \"" + first.path + "\": " + opened.reason());
  }
  std::vector<uint8_t> packs(static_cast<size_t>(std::min(first.length, kScrambleCheckBytes)));
  size_t got = 0;
  Status read = file->seek(first.offset);
  if (read.ok()) read = file->read(packs.data(), packs.size(), got);
  if (!read.ok()) return Status::readFailed("Cannot read \"" + first.path + "\": " + read.reason());
  if (dvd::hasScrambledPack(packs.data(), got)) {
    return Status::readFailed(
        "Cannot read \"" + first.path +
        "\": its packs are scrambled: the disc is encrypted, and Korvell reads "
        "decrypted discs");
  }
  return {};
}

class DiscReader {
 public:
  DiscReader(FileSystem& files, DvdDisc& disc) : files_(files), disc_(disc) {}

  Status open(const std::string& discPath) {
    fs::path folder;
    if (Status found = findVideoTs(files_, discPath, &folder); !found.ok()) return found;
    folder_ = folder;
    disc_.videoTsFolder = folder.string();
    vmgPath_ = dvd::findFileIgnoringCase(files_, folder, "VIDEO_TS.IFO");
    if (!files_.isFile(vmgPath_.string()) &&
        !files_.isFile(dvd::findFileIgnoringCase(files_, folder, "VIDEO_TS.BUP").string())) {
      return Status::openFailed("Cannot find " + inQuotes(vmgPath_));
    }
    if (stage_.folder().empty()) {
      return Status::openFailed("Cannot make a scratch folder for the IFO files of " +
                                inQuotes(folder));
    }
    reader_.reset(DVDOpen2(&disc_.libraryMessages, &kLogger, stage_.folder().string().c_str()));
    if (!reader_) {
      std::string reason = "Cannot open the DVD folder " + inQuotes(folder);
      if (!disc_.libraryMessages.empty()) {
        reason += " (libdvdread: " + disc_.libraryMessages.back() + ")";
      }
      return Status::openFailed(reason);
    }
    const size_t firstMessage = disc_.libraryMessages.size();
    vmg_.reset(openIfo(0, "VIDEO_TS", "DVDVIDEO-VMG"));
    if (!vmg_ || !vmg_->vmgi_mat || !vmg_->tt_srpt || !vmg_->tt_srpt->title) {
      return ifoFailure(files_, vmgPath_, "DVDVIDEO-VMG", disc_.libraryMessages, firstMessage);
    }
    return {};
  }

  int titleCount() const { return vmg_->tt_srpt->nr_of_srpts; }

  int anglesOf(int number) const {
    return std::max<int>(1, vmg_->tt_srpt->title[number - 1].nr_of_angles);
  }

  Status readTitle(int number, int angle, Title* title) {
    const title_info_t info = vmg_->tt_srpt->title[number - 1];
    const int titleSet = info.title_set_nr;
    if (titleSet < 1 ||
        titleSet > std::min<int>(kMaxTitleSets, vmg_->vmgi_mat->vmg_nr_of_title_sets)) {
      return badIfo(vmgPath_, "title " + std::to_string(number) + " lies in title set " +
                                  std::to_string(titleSet) + ", which the disc does not have");
    }
    TitleSet* set = nullptr;
    if (Status opened = openTitleSet(titleSet, &set); !opened.ok()) return opened;
    const ifo_handle_t& ifo = *set->ifo;
    const std::string what = "title " + std::to_string(number) + " ";
    const vts_ptt_srpt_t& chapters = *ifo.vts_ptt_srpt;
    if (info.vts_ttn < 1 || info.vts_ttn > chapters.nr_of_srpts || !chapters.title ||
        chapters.title[info.vts_ttn - 1].nr_of_ptts < 1 || !chapters.title[info.vts_ttn - 1].ptt) {
      return badIfo(set->path, what + "has no chapter list");
    }
    const ttu_t& parts = chapters.title[info.vts_ttn - 1];
    const int chain = parts.ptt[0].pgcn;
    if (chain < 1 || chain > ifo.vts_pgcit->nr_of_pgci_srp || !ifo.vts_pgcit->pgci_srp ||
        !ifo.vts_pgcit->pgci_srp[chain - 1].pgc) {
      return badIfo(set->path, what + "names program chain " + std::to_string(chain) +
                                   ", which the title set does not have");
    }
    const pgc_t& pgc = *ifo.vts_pgcit->pgci_srp[chain - 1].pgc;
    if (pgc.nr_of_cells < 1 || !pgc.cell_playback) {
      return badIfo(set->path, what + "has no cells");
    }

    title->number = number;
    title->titleSet = titleSet;
    char baseName[32];
    std::snprintf(baseName, sizeof baseName, "VTS_%02d_TITLE_%d", titleSet, number);
    title->baseName = baseName;
    title->angles = anglesOf(number);
    title->angle = angle;

    // The cells the angle plays, and the time at which each cell starts.
    std::vector<dvd::SectorRange> ranges;
    std::vector<int64_t> cellStartMs(pgc.nr_of_cells + size_t{1}, 0);
    SectorReader sectors(files_, set->vobs.parts);
    int64_t elapsedMs = 0;
    for (int cell = 0; cell < pgc.nr_of_cells;) {
      int blockEnd = cell + 1;  // one past the cells of this cell's angle block
      if (pgc.cell_playback[cell].block_type == BLOCK_TYPE_ANGLE_BLOCK) {
        while (blockEnd < pgc.nr_of_cells &&
               pgc.cell_playback[blockEnd].block_type == BLOCK_TYPE_ANGLE_BLOCK &&
               pgc.cell_playback[blockEnd].block_mode != BLOCK_MODE_FIRST_CELL &&
               pgc.cell_playback[blockEnd - 1].block_mode != BLOCK_MODE_LAST_CELL) {
          ++blockEnd;
        }
      }
      const int played = cell + angle - 1 < blockEnd ? cell + angle - 1 : cell;
      const cell_playback_t& playback = pgc.cell_playback[played];
      if (playback.last_sector < playback.first_sector) {
        return badIfo(set->path, what + "has cell " + std::to_string(played + 1) +
                                     ", which ends before it starts");
      }
      if (playback.interleaved) {
        const auto units =
            dvd::followInterleavedUnits(playback.first_sector, playback.last_sector,
                                        [&](uint64_t sector) { return sectors.unitAt(sector); });
        ranges.insert(ranges.end(), units.begin(), units.end());
      } else {
        ranges.push_back({playback.first_sector, playback.last_sector});
      }
      for (int inBlock = cell; inBlock < blockEnd; ++inBlock)
        cellStartMs[static_cast<size_t>(inBlock)] = elapsedMs;
      elapsedMs += dvd::bcdTimeMs(timeOf(playback.playback_time));
      cell = blockEnd;
    }
    cellStartMs.back() = elapsedMs;
    const int64_t chainMs = dvd::bcdTimeMs(timeOf(pgc.playback_time));
    title->durationSeconds = static_cast<double>(chainMs > 0 ? chainMs : elapsedMs) / 1000;

    // The chapters of this program chain, at the start of their program's first cell.
    title->chapters.clear();
    for (int part = 0; part < parts.nr_of_ptts; ++part) {
      const ptt_info_t chapter = parts.ptt[part];
      if (chapter.pgcn != chain || chapter.pgn < 1 || chapter.pgn > pgc.nr_of_programs ||
          !pgc.program_map) {
        continue;
      }
      const int firstCell = pgc.program_map[chapter.pgn - 1];
      if (firstCell < 1 || firstCell > pgc.nr_of_cells) continue;
      title->chapters.push_back(
          {cellStartMs[static_cast<size_t>(firstCell - 1)] * 1000000, "", ""});
    }

    title->streams = streamsOf(ifo, pgc);
    std::array<uint32_t, 16> palette{};
    for (size_t i = 0; i < palette.size(); ++i)
      palette[i] = pgc.palette[i];
    title->palette = palette;

    // Where the cells lie in the VOB files.
    if (!set->vobs.status.ok()) return set->vobs.status;
    if (!dvd::fileExtents(ranges, set->vobs.parts, &title->extents).ok()) {
      uint64_t furthest = 0;
      for (const dvd::SectorRange& range : ranges)
        furthest = std::max(furthest, range.last);
      std::string reason = "Title " + std::to_string(number) + " plays sectors up to " +
                           std::to_string(furthest) + " of title set " + std::to_string(titleSet) +
                           ", but its VOB files end at sector " +
                           std::to_string(set->vobs.endSector() - 1);
      reason += set->vobs.nextMissing.empty()
                    ? " (" + inQuotes(set->vobs.parts.back().path) + " is the last)"
                    : " and there is no " + inQuotes(set->vobs.nextMissing);
      return Status::readFailed(reason);
    }
    if (title->extents.empty()) return badIfo(set->path, what + "plays no sectors");
    return checkNotScrambled(files_, title->extents.front());
  }

 private:
  struct TitleSet {
    fs::path path;  // its IFO
    IfoHandle ifo;
    Status status;
    dvd::VobParts vobs;
  };

  // Opens IFO `number` (0: VIDEO_TS) through libdvdread from `baseName`.IFO, or from its .BUP
  // when libdvdread cannot read the IFO; null when it reads neither.
  ifo_handle_t* openIfo(int number, const std::string& baseName, const char* identifier) {
    for (const char* extension : {".IFO", ".BUP"}) {
      const fs::path file = dvd::findFileIgnoringCase(files_, folder_, baseName + extension);
      if (!stage_.place(files_, file, baseName + ".IFO", identifier)) continue;
      if (ifo_handle_t* ifo = ifoOpen(reader_.get(), number)) return ifo;
    }
    return nullptr;
  }

  Status openTitleSet(int number, TitleSet** set) {
    auto [at, added] = titleSets_.try_emplace(number);
    TitleSet& titleSet = at->second;
    *set = &titleSet;
    if (!added) return titleSet.status;
    char name[16];
    std::snprintf(name, sizeof name, "VTS_%02d_0.IFO", number);
    titleSet.path = dvd::findFileIgnoringCase(files_, folder_, name);
    const size_t firstMessage = disc_.libraryMessages.size();
    titleSet.ifo.reset(openIfo(number, std::string(name, 8), "DVDVIDEO-VTS"));
    const ifo_handle_t* ifo = titleSet.ifo.get();
    if (!ifo || !ifo->vtsi_mat || !ifo->vts_ptt_srpt || !ifo->vts_pgcit) {
      titleSet.status =
          ifoFailure(files_, titleSet.path, "DVDVIDEO-VTS", disc_.libraryMessages, firstMessage);
      return titleSet.status;
    }
    titleSet.vobs = dvd::findVobParts(files_, folder_, number);
    return {};
  }

  static std::vector<TitleStream> streamsOf(const ifo_handle_t& ifo, const pgc_t& pgc) {
    const vtsi_mat_t& attributes = *ifo.vtsi_mat;
    const video_attr_t video = attributes.vts_video_attr;
    std::vector<TitleStream> streams;
    TitleStream picture;
    picture.family = Family::Video;
    picture.id = 0xE0;
    picture.codec = video.mpeg_version == 0 ? "MPEG-1" : "MPEG-2";
    streams.push_back(picture);
    for (int i = 0; i < 8; ++i) {
      const uint16_t control = pgc.audio_control[i];
      if ((control & 0x8000) == 0) continue;
      const audio_attr_t audio = attributes.vts_audio_attr[i];
      TitleStream stream;
      stream.family = Family::Audio;
      stream.number = i;
      stream.id = dvd::audioStreamId(audio.audio_format, control >> 8 & 7);
      stream.language = dvd::languageCode(audio.lang_code);
      stream.name = dvd::audioDescription(audio.code_extension);
      stream.codec = dvd::audioCodecName(audio.audio_format);
      stream.channels = audio.channels + 1;
      stream.sampleRate = dvd::audioSampleRate(audio.sample_frequency);
      streams.push_back(stream);
    }
    for (int i = 0; i < 32; ++i) {
      const uint32_t control = pgc.subp_control[i];
      if ((control & 0x80000000) == 0) continue;
      const subp_attr_t subpicture = attributes.vts_subp_attr[i];
      TitleStream stream;
      stream.family = Family::Subpicture;
      stream.number = i;
      stream.id = dvd::subpictureStreamId(control, video.display_aspect_ratio);
      stream.language = dvd::languageCode(subpicture.lang_code);
      stream.name = dvd::subpictureDescription(subpicture.code_extension);
      stream.codec = "Subpicture";
      stream.forced = dvd::forcedSubpicture(subpicture.code_extension);
      streams.push_back(stream);
    }
    return streams;
  }

  FileSystem& files_;
  DvdDisc& disc_;
  fs::path folder_;
  fs::path vmgPath_;
  IfoStage stage_;  // declared before the reader and the IFO handles: it outlives them
  ReaderHandle reader_;
  IfoHandle vmg_;
  std::map<int, TitleSet> titleSets_;
};

}  // namespace

DvdDisc readDvdTitles(const std::string& discPath, FileSystem& files) {
  DvdDisc disc;
  DiscReader reader(files, disc);
  if (Status opened = reader.open(discPath); !opened.ok()) {
    disc.status = opened;
    return disc;
  }
  for (int number = 1; number <= reader.titleCount(); ++number) {
    Title title;
    if (Status read = reader.readTitle(number, 1, &title); read.ok()) {
      disc.titles.push_back(std::move(title));
    } else {
      disc.problems.push_back({number, read});
    }
  }
  return disc;
}

Status readDvdTitle(const std::string& discPath, int number, int angle, Title* title,
                    FileSystem& files) {
  DvdDisc disc;
  DiscReader reader(files, disc);
  if (Status opened = reader.open(discPath); !opened.ok()) return opened;
  if (number < 1 || number > reader.titleCount()) {
    return Status::readFailed("The disc has " + std::to_string(reader.titleCount()) +
                              " titles; there is no title " + std::to_string(number));
  }
  const int angles = reader.anglesOf(number);
  if (angle < 1 || angle > angles) {
    return Status::readFailed("Title " + std::to_string(number) + " has " + std::to_string(angles) +
                              (angles == 1 ? " angle" : " angles") + "; there is no angle " +
                              std::to_string(angle));
  }
  return reader.readTitle(number, angle, title);
}

const Title* titleStartingIn(const std::vector<Title>& titles, const std::string& vobPath,
                             const FileSystem& files) {
  for (const Title& title : titles) {
    if (title.extents.empty()) continue;
    const std::string& path = title.extents.front().path;
    if (path == vobPath || files.sameFile(path, vobPath)) return &title;
  }
  return nullptr;
}

}  // namespace korvell
