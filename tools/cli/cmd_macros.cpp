// quilletctl macros FILE.dat: the macros of a group file as the utility reads them.
#include <cstdio>

#include "cli.h"
#include "core/io/file_io.h"
#include "core/macro/macro_file.h"

namespace quillet::cli {

int runMacros(Context& context, const std::vector<std::string>& args) {
  if (args.size() != 1) {
    error("macros takes one group file");
    return kExitUsage;
  }
  const std::filesystem::path file = args[0];
  if (!fileio::readFile(file)) {
    error("cannot read " + file.string());
    return kExitUsage;
  }
  OpenGroup group;
  readGroupFile(file, group, context.messages);
  std::printf("%s: %d macros\n", file.string().c_str(), group.count);
  for (int k = 0; k < group.count; ++k) {
    const Macro& m = group.slots[k];
    std::printf("macro %d \"%s\": play mode %u, loop count %u, %u steps\n", k, macroName(m).c_str(), m.playMode,
                m.loopCount, m.eventCount);
    for (int t = 0; t < m.eventCount; ++t) {
      const MacroEvent& e = m.events[t];
      std::printf("  step %d: type %u code %u x %d y %d delay %u\n", t, e.type, e.code, e.x, e.y, e.delay);
    }
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace quillet::cli
