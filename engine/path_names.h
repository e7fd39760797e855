// The parts of a path as the runs and the disc readers name them: its folder, its name and
// the name without its extension. The platform's separator ends a folder part.
#pragma once

#include <string>

namespace korvell {

/// Whether c separates the parts of a path on this platform ("/"; on Windows also "\" and
/// the drive colon).
bool isPathSeparator(char c);

/// The platform's separator, as folder parts end with it.
char pathSeparator();

/// The folder part of a path, up to and including its last separator (or drive colon on
/// platforms that have drives); empty when there is none.
std::string folderPart(const std::string& path);
/// The name part of a path: everything after the folder part.
std::string namePart(const std::string& path);

/// The name without its extension: the part from the last "." to the end, provided no
/// separator follows that dot. FEATURE_1.EVO gives FEATURE_1, a.b.EVO gives a.b, MOVIE gives
/// MOVIE, .EVO gives the empty text.
std::string CutExt(const std::string& name);

/// `folder` and `name` joined by one separator (none is added when the folder is empty or
/// already ends with one).
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace korvell
