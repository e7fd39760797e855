// What the user named as a run's input (a file, a disc folder, or a disc image and maybe a file
// inside it), turned into the FileSystem and the paths the runs use. Both front ends call it,
// so an image means the same in each.
#pragma once

#include <memory>
#include <string>

#include "disc/udf_image.h"  // isDiscImage
#include "engine/file_system.h"
#include "engine/status.h"

namespace korvell {

struct NamedInput {
  /// The image's file system when a disc image was named; it owns what `files` points to then.
  std::unique_ptr<FileSystem> image;
  /// Where the runs and the title readers open and create files: the image's file system (the
  /// image read in place, every other path the real files), or the real files themselves.
  FileSystem* files = &realFileSystem();
  /// What the runs read: the path as named; for an image its own path, which is its root
  /// folder (the disc to list titles of), or the file named inside it joined to it
  /// ("movie.iso/HVDVD_TS/FEATURE_1.EVO").
  std::string path;
  /// Where outputs go when the user names no folder: empty (beside the input) for a file or a
  /// folder; for an image the folder that holds it, since nothing can be written inside it.
  std::string outputFolder;
};

/// Resolves `named`, a path as the user gave it, and `inside`, a file inside a disc image
/// ("HVDVD_TS/FEATURE_1.EVO", with "/" or "\" between folders; empty for none), into *input.
/// A path whose extension is .iso (any case) is opened as a disc image through `real`
/// (UdfImage), which must outlive *input. Fails, with a one-line reason that names the image
/// and the file, when the image cannot be read (OpenFailed or ReadFailed), when `inside` names
/// no file in it (OpenFailed), and when `inside` is given without an image (OpenFailed); *input
/// then holds `named` over `real`, as for a plain path.
Status resolveInput(const std::string& named, const std::string& inside, FileSystem& real,
                    NamedInput* input);

}  // namespace korvell
