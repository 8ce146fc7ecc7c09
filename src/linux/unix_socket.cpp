#include "linux/unix_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace quillet {

UnixSocket::~UnixSocket() { close(); }

UnixSocket::UnixSocket(UnixSocket&& other) noexcept : fd_(other.fd_), reader_(std::move(other.reader_)) { other.fd_ = -1; }

UnixSocket& UnixSocket::operator=(UnixSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    reader_ = std::move(other.reader_);
    other.fd_ = -1;
  }
  return *this;
}

void UnixSocket::close() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = -1;
}

std::size_t maxSocketPathLength() { return sizeof(sockaddr_un::sun_path) - 1; }

UnixSocket UnixSocket::connectTo(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() > maxSocketPathLength()) {
    error = "socket path is empty or too long: " + path;
    return UnixSocket();
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  UnixSocket s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.valid()) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return s;
  }
  // A Unix socket connects at once or fails at once; there is no handshake to wait for.
  while (::connect(s.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) {
      continue;
    }
    error = "cannot connect to " + path + ": " + std::strerror(errno);
    s.close();
    return s;
  }
  return s;
}

bool UnixSocket::sendFrame(simwire::FrameType type, std::span<const std::uint8_t> payload) {
  if (!valid()) {
    return false;
  }
  const std::vector<std::uint8_t> frame = simwire::encodeFrame(type, payload);
  std::size_t sent = 0;
  while (sent < frame.size()) {
    const ssize_t n = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // A peer that stops reading must not hold us forever: wait a while for room.
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) {
          return false;
        }
        continue;
      }
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

ReceiveStatus UnixSocket::receiveFrame(simwire::Frame& frame, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (auto f = reader_.next()) {
      frame = std::move(*f);
      return ReceiveStatus::kFrame;
    }
    if (reader_.failed()) {
      return ReceiveStatus::kGarbage;
    }
    if (!valid()) {
      return ReceiveStatus::kClosed;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    const int wait = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
    const int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) {
        continue;
      }
      return ReceiveStatus::kClosed;
    }
    if (r == 0) {
      return ReceiveStatus::kTimeout;
    }
    std::array<std::uint8_t, 4096> chunk{};
    const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) {
        continue;
      }
      return ReceiveStatus::kClosed;
    }
    if (n == 0) {
      return ReceiveStatus::kClosed;
    }
    reader_.feed(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n)));
  }
}

std::optional<simwire::Frame> UnixSocket::request(simwire::FrameType type, std::span<const std::uint8_t> payload,
                                                  simwire::FrameType expected, std::chrono::milliseconds timeout) {
  simwire::Frame reply;
  if (!sendFrame(type, payload) || receiveFrame(reply, timeout) != ReceiveStatus::kFrame || reply.type != expected) {
    close();
    return std::nullopt;
  }
  return reply;
}

}  // namespace quillet
