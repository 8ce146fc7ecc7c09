#include "core/io/messages.h"

#include <cstdio>

namespace quillet {

void StderrMessages::show(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace quillet
