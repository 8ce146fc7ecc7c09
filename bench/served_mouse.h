#pragma once
// Benchmark fixtures: a scratch folder in the temporary folder (TMPDIR), and a simulated mouse served on a Unix socket
// in one for the length of a benchmark, reached the way quilletctl and the window reach
// quillet-sim serve.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "linux/sim_socket_transport.h"
#include "sim_mouse.h"
#include "sim_server.h"

namespace quillet::bench {

// A folder made at construction and removed with everything in it at destruction; an empty
// path when none could be made.
struct ScratchFolder {
  ScratchFolder() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "quillet-bench-XXXXXX").string();
    if (!ec && ::mkdtemp(pattern.data()) != nullptr) {
      path = pattern;
    }
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::filesystem::path path;
};

// Serves `mouse` on a socket while `body` runs with a transport to it; skips the benchmark
// when the socket cannot be served.
inline void withServedMouse(benchmark::State& state, const std::shared_ptr<sim::SimMouse>& mouse,
                            const std::function<void(HidTransport&)>& body) {
  const ScratchFolder folder;
  if (folder.path.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string socketPath = (folder.path / "mouse.sock").string();
  sim::SimServer server(mouse);
  std::string error;
  if (!server.listen(socketPath, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::thread serving([&] { server.run(); });
  {
    const std::unique_ptr<HidTransport> transport = makeSimSocketTransport(socketPath);
    body(*transport);
  }
  server.stop();
  serving.join();
}

}  // namespace quillet::bench
