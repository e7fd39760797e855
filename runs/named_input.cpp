#include "runs/named_input.h"

#include "runs/file_set.h"

namespace korvell {

namespace {

Status openFailed(std::string reason) {
  return Status::failure(Status::Code::OpenFailed, std::move(reason));
}

}  // namespace

Status resolveInput(const std::string& named, const std::string& inside, FileSystem& real,
                    NamedInput* input) {
  *input = {};
  input->files = &real;
  input->path = named;
  if (!isDiscImage(named)) {
    if (inside.empty()) return {};
    return openFailed("\"" + named + "\" is no disc image (.iso), so \"" + inside +
                      "\" cannot be read inside it");
  }
  std::unique_ptr<UdfImage> image;
  if (Status opened = UdfImage::open(real, named, &image); !opened.ok()) return opened;
  std::string path = image->imagePath();
  if (!inside.empty()) {
    std::string relative = inside;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    path += "/" + relative;
    // A path that climbs out of the image ("../x") names no file inside it.
    if (!image->holds(path) || !image->isFile(path)) {
      return openFailed("The disc image \"" + named + "\" holds no file \"" + inside + "\"");
    }
  }
  input->outputFolder = folderPart(image->imagePath());
  if (input->outputFolder.empty()) input->outputFolder = ".";
  input->path = path;
  input->files = image.get();
  input->image = std::move(image);
  return {};
}

}  // namespace korvell
