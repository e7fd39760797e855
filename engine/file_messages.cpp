#include "engine/file_messages.h"

#include "report/markup.h"

namespace korvell {

void reportFailure(const std::string& path, const Status& status, Console& console) {
  const char* verb = nullptr;
  switch (status.code()) {
    case Status::Code::Ok:
      return;
    case Status::Code::OpenFailed:
    case Status::Code::NotFound:
      verb = "open";
      break;
    case Status::Code::CreateFailed:
      verb = "create";
      break;
    case Status::Code::ReadFailed:
    case Status::Code::Invalid:
      verb = "read";
      break;
    case Status::Code::WriteFailed:
      verb = "write";
      break;
    case Status::Code::RemoveFailed:
      verb = "remove";
      break;
  }
  console.logError(std::string("Cannot ") + verb + " file \"" + escapeMarkup(path) + "\". " +
                   escapeMarkup(status.reason()));
}

std::unique_ptr<ByteSource> openInput(FileSystem& files, const std::string& path,
                                      Console& console) {
  std::unique_ptr<ByteSource> source;
  const Status opened = files.openForReading(path, &source);
  reportFailure(path, opened, console);
  return opened.ok() ? std::move(source) : nullptr;
}

}  // namespace korvell
