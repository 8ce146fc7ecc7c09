#pragma once
// A private temporary folder for one test, removed with everything in it afterwards, and small
// file helpers.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace quillet::test {

class TempDir {
 public:
  TempDir() {
#if defined(_WIN32)
    // Windows has no mkdtemp: fresh names are tried until one is created.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::error_code ec;
      path_ = std::filesystem::temp_directory_path() / ("quillet-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_, ec)) {
        return;
      }
    }
    std::abort();
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A copy of the shipped skins folder in `dir`, so that tests never touch the shipped files.
inline std::filesystem::path copyShippedSkins(const TempDir& dir) {
  const std::filesystem::path target = dir / "skins";
  std::filesystem::copy(std::filesystem::path(QUILLET_SOURCE_DIR) / "skins", target,
                        std::filesystem::copy_options::recursive);
  return target;
}

}  // namespace quillet::test
