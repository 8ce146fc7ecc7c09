#include "sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim_control.h"

namespace quillet::sim {

using simwire::FrameType;

namespace {
// How often an idle connection looks whether the server is stopping.
constexpr std::chrono::milliseconds kIdlePoll{200};
// The longest read a peer may ask for; a read waits no longer than this.
constexpr std::uint32_t kMaxReadTimeoutMs = 60'000;
}  // namespace

SimServer::SimServer(std::shared_ptr<SimMouse> mouse) : mouse_(std::move(mouse)) {
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    stopPipe_[0] = stopPipe_[1] = -1;
  }
}

SimServer::~SimServer() {
  stop();
  {
    std::lock_guard lock(connectionsMutex_);
    for (Connection& c : connections_) {
      if (c.thread.joinable()) {
        c.thread.join();
      }
    }
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
  for (int fd : stopPipe_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool SimServer::listen(const std::string& path, std::string& error) {
  if (path.empty() || path.size() > maxSocketPathLength()) {
    error = "socket path is empty or longer than " + std::to_string(maxSocketPathLength()) + " bytes";
    return false;
  }
  if (stopPipe_[0] < 0) {
    error = "cannot make a pipe";
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = path + " exists and is not a socket";
      return false;
    }
    std::string ignored;
    if (UnixSocket::connectTo(path, ignored).valid()) {
      error = "another simulated mouse serves " + path;
      return false;
    }
    ::unlink(path.c_str());  // left by a simulator that did not end cleanly
  }
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return false;
  }
  // The socket file appears at bind, before the socket listens: a client that waits for the file
  // and connects at once would be refused. So the socket listens under a temporary name first
  // and is renamed into place, and whoever sees `path` finds a socket that accepts.
  const std::string staging = path + ".new" + std::to_string(::getpid());
  if (staging.size() > maxSocketPathLength()) {
    error = "socket path is longer than " + std::to_string(maxSocketPathLength() - (staging.size() - path.size())) +
            " bytes";
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  ::unlink(staging.c_str());  // left by a simulator of this pid that did not end cleanly
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, staging.data(), staging.size());
  // Only the user who runs the simulator may talk to it.
  const mode_t old = ::umask(0077);
  const int bound = ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int bindErrno = errno;
  ::umask(old);
  int failure = bound != 0 ? bindErrno : 0;
  if (failure == 0 && ::listen(listenFd_, 16) != 0) {
    failure = errno;
  }
  if (failure == 0 && ::rename(staging.c_str(), path.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(failure);
    if (bound == 0) {
      ::unlink(staging.c_str());
    }
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  path_ = path;
  return true;
}

void SimServer::stop() {
  stopping_.store(true);
  if (stopPipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &byte, 1);
  }
}

void SimServer::reapFinished() {
  std::lock_guard lock(connectionsMutex_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->finished.load()) {
      it->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void SimServer::run() {
  while (!stopping_.load() && listenFd_ >= 0) {
    pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    const int r = ::poll(p, 2, 1000);
    reapFinished();
    if (r < 0 && errno != EINTR) {
      break;
    }
    if (r <= 0 || (p[1].revents & POLLIN) != 0) {
      continue;
    }
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      continue;
    }
    std::lock_guard lock(connectionsMutex_);
    if (connections_.size() >= kMaxConnections) {
      ::close(fd);
      continue;
    }
    Connection& c = connections_.emplace_back();
    c.thread = std::thread([this, fd, &c] {
      serve(UnixSocket(fd));
      c.finished.store(true);
    });
  }
  // Wake every read that waits on the mouse, then let each connection see the stop.
  mouse_->shutdown();
  {
    std::lock_guard lock(connectionsMutex_);
    for (Connection& c : connections_) {
      c.thread.join();
    }
    connections_.clear();
  }
  if (!path_.empty()) {
    ::unlink(path_.c_str());
    path_.clear();
  }
}

void SimServer::serve(UnixSocket socket) {
  std::unique_ptr<HidHandle> handle;
  simwire::Frame frame;
  while (!stopping_.load()) {
    const ReceiveStatus status = socket.receiveFrame(frame, kIdlePoll);
    if (status == ReceiveStatus::kTimeout) {
      continue;
    }
    if (status != ReceiveStatus::kFrame) {
      return;  // gone, or garbage: this connection ends, nothing else does
    }
    bool sent = false;
    switch (frame.type) {
      case FrameType::kEnumerate:
        sent = socket.sendFrame(FrameType::kNodes, simwire::encodeNodes(mouse_->nodes()));
        break;
      case FrameType::kOpen: {
        const auto request = simwire::decodeOpen(frame.payload);
        std::string error;
        if (request && !handle) {
          handle = mouse_->open(request->path, error);
        }
        // A refused open says why, as the system's open would.
        sent = socket.sendFrame(FrameType::kResult,
                                simwire::encodeResult({request && handle, handle ? std::vector<std::uint8_t>{}
                                                                                  : std::vector<std::uint8_t>(
                                                                                        error.begin(), error.end())}));
        break;
      }
      case FrameType::kSetFeature: {
        const bool ok = handle && !frame.payload.empty() && frame.payload.size() <= simwire::kMaxReportBytes &&
                        handle->sendFeatureReport(frame.payload);
        sent = socket.sendFrame(FrameType::kResult, simwire::encodeResult({ok, {}}));
        break;
      }
      case FrameType::kGetFeature: {
        const auto request = simwire::decodeGetFeature(frame.payload);
        simwire::Result result;
        if (request && handle) {
          std::vector<std::uint8_t> buffer(request->length, 0);
          buffer[0] = request->reportId;
          if (const auto n = handle->getFeatureReport(buffer)) {
            buffer.resize(*n);
            result = {true, std::move(buffer)};
          }
        }
        sent = socket.sendFrame(FrameType::kResult, simwire::encodeResult(result));
        break;
      }
      case FrameType::kRead: {
        const auto request = simwire::decodeRead(frame.payload);
        simwire::InputReply reply;
        if (request && handle) {
          std::vector<std::uint8_t> buffer(request->length, 0);
          const auto timeout = std::chrono::milliseconds(std::min(request->timeoutMs, kMaxReadTimeoutMs));
          const ReadResult r = handle->readInputReport(buffer, timeout);
          reply.status = r.status;
          if (r.status == ReadStatus::kReport) {
            buffer.resize(r.length);
            reply.report = std::move(buffer);
          }
        }
        sent = socket.sendFrame(FrameType::kInput, simwire::encodeInput(reply));
        break;
      }
      case FrameType::kWatchHotplug:
        watchHotplug(socket);
        return;
      case FrameType::kControl:
        sent = socket.sendFrame(FrameType::kControlReply,
                                simwire::encodeControlReply(runControl(*mouse_, simwire::textOf(frame.payload))));
        break;
      default:
        return;  // a reply where a request belongs: the peer is confused
    }
    if (!sent) {
      return;
    }
  }
}

void SimServer::watchHotplug(UnixSocket& socket) {
  // The watch is in place before the watcher hears so: no event after its request is missed.
  const std::shared_ptr<HotplugQueue> queue = mouse_->watchHotplug();
  if (!socket.sendFrame(FrameType::kResult, simwire::encodeResult({true, {}}))) {
    return;
  }
  while (!stopping_.load()) {
    pollfd p[3] = {{queue->descriptor(), POLLIN, 0}, {socket.fd(), POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    const int r = ::poll(p, 3, static_cast<int>(kIdlePoll.count()));
    if (r < 0 && errno != EINTR) {
      return;
    }
    if ((p[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      return;  // a watcher sends nothing: anything from it, or its hang-up, ends the watch
    }
    if ((p[0].revents & POLLIN) != 0) {
      while (auto event = queue->next(std::chrono::milliseconds(0))) {
        if (!socket.sendFrame(FrameType::kHotplug, simwire::encodeHotplug(*event))) {
          return;
        }
      }
    }
  }
}

}  // namespace quillet::sim
