// The --json documents of korvell-cli, written from the core's structured records.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/selection.h"
#include "runs/playlist_run.h"
#include "runs/run_report.h"
#include "runs/titles_run.h"

namespace korvell::cli {

/// The document of a read, demux or rebuild run: `command` is the subcommand's name and
/// `outcome` how its last run ended ("done", "cancelled"); `title` the DVD title it worked on
/// (its "title" object: number, title set, angle, base name, extents), null without one.
nlohmann::ordered_json runReportJson(const RunReport& report, const std::string& command,
                                     const std::string& outcome,
                                     const std::optional<Title>& title = std::nullopt);

/// The document of titles DISC: its kind ("dvd", "hd_dvd"), the VIDEO_TS folder or the
/// playlist and the reading's notes, the first-play title (HD DVD), each title that can be
/// played with its name, streams, chapters (with names), palette, clips and file ranges
/// ("files"; a DVD title also as "vob_files"), and the titles that cannot be played with
/// their reasons.
nlohmann::ordered_json titlesJson(const std::string& disc, const TitlesReport& report);

/// The document of xpl: the playlist, the title that plays `source` (or null), its tracks
/// with their labels and its chapters; `chaptersFile` when --chapters-file wrote one.
nlohmann::ordered_json playlistJson(const std::string& playlist, const std::string& source,
                                    const PlaylistResult& result, const Selection& selection,
                                    const std::string& chaptersFile);

/// "0xBD": two upper-case hex digits.
std::string hexId(uint8_t id);

/// A start in nanoseconds as HH:MM:SS.mmm (rounded to the millisecond, half up; below 0 is 0).
std::string chapterClock(int64_t startNs);

/// The document as text: two-blank indentation, invalid UTF-8 replaced, a final line feed.
std::string jsonText(const nlohmann::ordered_json& document);

}  // namespace korvell::cli
