// The console messages of failed file operations, which every run and reader shows alike.
#pragma once

#include <memory>
#include <string>

#include "engine/byte_io.h"
#include "engine/file_system.h"
#include "engine/status.h"
#include "report/console.h"

namespace korvell {

/// The console message of a failure: "Cannot open file "<path>". <reason>", or create, read
/// write or remove by the status's code (read for data that is Invalid, open for something
/// NotFound). Nothing for an Ok status.
void reportFailure(const std::string& path, const Status& status, Console& console);

/// Opens an input; on failure reports it and returns null.
std::unique_ptr<ByteSource> openInput(FileSystem& files, const std::string& path, Console& console);

}  // namespace korvell
