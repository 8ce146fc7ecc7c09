#include "core/io/file_io.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <vector>

#include "core/io/file_io_platform.h"

namespace quillet::fileio {
namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporaryMark = ".tmp";

std::string temporaryPrefix(const fs::path& path) { return "." + path.filename().string() + kTemporaryMark; }

}  // namespace

std::optional<std::uint64_t> writerOf(std::string_view name) {
  if (name.empty() || name.front() != '.') {
    return std::nullopt;
  }
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos || mark == 0) {
    return std::nullopt;
  }
  std::string_view rest = name.substr(mark + std::string_view(kTemporaryMark).size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) {
    return std::nullopt;
  }
  const auto digits = [](std::string_view t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9) {
    return std::nullopt;
  }
  std::uint64_t pid = 0;
  for (char c : rest.substr(0, dash)) {
    pid = pid * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return pid;
}

bool leftByDeadWriter(std::string_view name) {
  const std::optional<std::uint64_t> pid = writerOf(name);
  // A live writer (or one of another user, whose liveness may not be asked) keeps its file.
  return pid && *pid > 0 && *pid != currentProcessId() && processIsGone(*pid);
}

fs::path resolveLinks(const fs::path& path) {
  std::error_code ec;
  fs::path target = path;
  // Follow a chain of links, but not forever.
  for (int hops = 0; hops < 16 && fs::is_symlink(target, ec); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) {
      break;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

void removeStaleTemporaries(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->symlink_status(typeEc).type() != fs::file_type::directory &&
        leftByDeadWriter(it->path().filename().string())) {
      std::error_code removeEc;
      fs::remove(it->path(), removeEc);
    }
  }
}

bool isOurTemporaryName(std::string_view name) { return writerOf(name).has_value(); }

fs::path temporarySibling(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  return folder /
         (temporaryPrefix(path) + std::to_string(currentProcessId()) + "-" + std::to_string(counter.fetch_add(1)));
}

void removeStaleTemporaryFolders(const fs::path& parent) {
  std::error_code ec;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->symlink_status(typeEc).type() == fs::file_type::directory &&
        leftByDeadWriter(it->path().filename().string())) {
      stale.push_back(it->path());
    }
  }
  for (const fs::path& folder : stale) {
    std::error_code removeEc;
    fs::remove_all(folder, removeEc);
  }
}

bool copyTree(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::create_directories(to, ec) && ec) {
    return false;
  }
  bool ok = true;
  fs::directory_iterator it(from, ec);
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    const fs::file_status status = it->symlink_status(typeEc);
    const fs::path target = to / it->path().filename();
    if (fs::is_directory(status)) {
      ok = copyTree(it->path(), target) && ok;
    } else if (fs::is_regular_file(status)) {
      const std::optional<std::string> bytes = readFile(it->path());
      ok = bytes && writeFileAtomic(target, *bytes) && ok;
    }
  }
  return ok && !ec;
}

}  // namespace quillet::fileio
