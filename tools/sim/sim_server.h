#pragma once
// Serves a simulated mouse on a Unix socket (the wire of core/io/sim_wire.h): one thread per
// connection, each serving its requests in order. A peer that disconnects or sends garbage
// loses its connection and nothing else; the mouse and the other connections go on.
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "linux/unix_socket.h"
#include "sim_mouse.h"

namespace quillet::sim {

// More connections than this at once are refused: a runaway peer cannot exhaust threads.
constexpr std::size_t kMaxConnections = 64;

class SimServer {
 public:
  explicit SimServer(std::shared_ptr<SimMouse> mouse);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds and listens at `path`. A stale socket file there (no one answers) is replaced; a
  // socket that answers, or a file that is not a socket, is left alone and fails.
  bool listen(const std::string& path, std::string& error);
  // Accepts and serves until stop(); then ends every connection, joins their threads and
  // removes the socket file.
  void run();
  // Safe from any thread, and from a signal handler (it only writes to a pipe).
  void stop();

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> finished{false};
  };
  void serve(UnixSocket socket);
  void watchHotplug(UnixSocket& socket);
  void reapFinished();

  std::shared_ptr<SimMouse> mouse_;
  std::string path_;
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::mutex connectionsMutex_;
  std::list<Connection> connections_;
};

}  // namespace quillet::sim
