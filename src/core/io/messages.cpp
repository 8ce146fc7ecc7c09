#include "core/io/messages.h"

#include <cstdio>

namespace quillet {

std::string saveFailedMessage(const std::filesystem::path& file) { return std::string(kMsgError) + "\n" + file.string(); }

void StderrMessages::show(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace quillet
