#pragma once
// A Unix stream socket carrying the frames of sim_wire.h, with time-outs on every wait so that
// no caller blocks on a peer that has stopped answering.
#include <chrono>
#include <optional>
#include <string>

#include "core/io/sim_wire.h"

namespace quillet {

enum class ReceiveStatus : std::uint8_t {
  kFrame,
  kTimeout,  // nothing complete arrived in time; the connection is still usable
  kClosed,   // the peer closed the connection, or it failed
  kGarbage,  // the peer sent something that is not a frame; the connection is of no more use
};

class UnixSocket {
 public:
  UnixSocket() = default;
  explicit UnixSocket(int fd) : fd_(fd) {}
  ~UnixSocket();
  UnixSocket(UnixSocket&& other) noexcept;
  UnixSocket& operator=(UnixSocket&& other) noexcept;
  UnixSocket(const UnixSocket&) = delete;
  UnixSocket& operator=(const UnixSocket&) = delete;

  // Connects to the socket at `path`; on failure an invalid socket and `error` says why.
  static UnixSocket connectTo(const std::string& path, std::string& error);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close();

  // Writes the whole frame. False when the peer is gone (never raises SIGPIPE).
  [[nodiscard]] bool sendFrame(simwire::FrameType type, std::span<const std::uint8_t> payload);
  // Waits at most `timeout` for the next frame.
  ReceiveStatus receiveFrame(simwire::Frame& frame, std::chrono::milliseconds timeout);
  // Sends a request and waits at most `timeout` for its reply of type `expected`; nullopt when
  // anything else happens, and the connection is then closed (it is out of step).
  std::optional<simwire::Frame> request(simwire::FrameType type, std::span<const std::uint8_t> payload,
                                        simwire::FrameType expected, std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
  simwire::FrameReader reader_;
};

// The longest socket path the system takes (sockaddr_un's sun_path, less the terminator).
std::size_t maxSocketPathLength();

}  // namespace quillet
