// A scratch folder of its own for one test.
#pragma once

#include <filesystem>
#include <string>

namespace korvell::testing {

/// An empty folder under the system's temporary folder with a name no other test or process
/// has (mkdtemp), readable by everyone as an ordinary folder is; removed with everything in
/// it when the object goes. Tests running in parallel, or two checkouts on one machine, never
/// share one.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace korvell::testing
