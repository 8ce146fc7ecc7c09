#include "sim_mouse.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "core/io/hex_text.h"

namespace quillet::sim {

// HotplugQueue -----------------------------------------------------------------------------

HotplugQueue::HotplugQueue() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipe_[0] = pipe_[1] = -1;
  }
}

HotplugQueue::~HotplugQueue() {
  for (int fd : pipe_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

void HotplugQueue::push(HotplugEvent event) {
  std::lock_guard lock(mutex_);
  if (events_.size() >= kHotplugQueueLimit) {
    return;
  }
  events_.push_back(std::move(event));
  const char byte = 1;
  // One byte per event keeps the descriptor readable exactly while events wait; a full pipe
  // only means it is readable already.
  [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &byte, 1);
}

std::optional<HotplugEvent> HotplugQueue::next(std::chrono::milliseconds timeout) {
  pollfd p{pipe_[0], POLLIN, 0};
  const int ms = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX));
  if (pipe_[0] < 0 || ::poll(&p, 1, ms) <= 0) {
    return std::nullopt;
  }
  std::lock_guard lock(mutex_);
  char byte;
  if (::read(pipe_[0], &byte, 1) != 1 || events_.empty()) {
    return std::nullopt;
  }
  HotplugEvent e = std::move(events_.front());
  events_.pop_front();
  return e;
}

// Handles ----------------------------------------------------------------------------------

namespace {
// 07 18 10 ...: Finish, the report before the end of a download.
constexpr std::uint8_t kFinishCommandByte = 0x18;
constexpr std::uint8_t kFinishOperationByte = 0x10;
}  // namespace

struct SimMouse::Reader {
  std::deque<std::vector<std::uint8_t>> reports;
  bool glitch = false;  // the next read fails
};

class SimMouse::Handle final : public HidHandle {
 public:
  Handle(std::shared_ptr<SimMouse> mouse, NodeRole role, std::uint64_t generation, std::shared_ptr<Reader> reader)
      : mouse_(std::move(mouse)), role_(role), generation_(generation), reader_(std::move(reader)) {}

  bool sendFeatureReport(std::span<const std::uint8_t> report) override {
    std::lock_guard lock(mouse_->mutex_);
    if (!aliveLocked() || role_ != NodeRole::kCommands || report.empty() || report[0] != kFeatureReportId) {
      return false;
    }
    mouse_->logLocked("SET", report);
    mouse_->firmware_.receive(report);
    mouse_->drainPlayLogLocked();  // a download that switches the profile stops running macros
    if (mouse_->unplugAfterFinish_ && report.size() >= 3 && report[1] == kFinishCommandByte &&
        report[2] == kFinishOperationByte) {
      mouse_->unplugAfterFinish_ = false;
      mouse_->unplugLocked();  // the Finish was taken; what follows is not
    }
    if (mouse_->unplugAfterReports_ > 0 && --mouse_->unplugAfterReports_ == 0) {
      mouse_->unplugLocked();  // this report was taken; the next one is not
    }
    return true;
  }

  std::optional<std::size_t> getFeatureReport(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(mouse_->mutex_);
    if (!aliveLocked() || role_ != NodeRole::kCommands || buffer.empty() || buffer[0] != kFeatureReportId) {
      return std::nullopt;
    }
    const StatusReport status = mouse_->firmware_.status();
    const std::size_t n = std::min(buffer.size(), status.size());
    std::copy_n(status.begin(), n, buffer.begin());
    mouse_->logLocked("GET", buffer.first(n));
    return n;
  }

  ReadResult readInputReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mouse_->mutex_);
    auto ready = [&] { return !aliveLocked() || (reader_ && !reader_->reports.empty()); };
    auto glitched = [&] { return reader_ && reader_->glitch; };
    mouse_->inputArrived_.wait_for(lock, timeout, [&] { return ready() || glitched(); });
    if (!aliveLocked()) {
      return {ReadStatus::kError, 0};
    }
    if (glitched()) {
      reader_->glitch = false;
      return {ReadStatus::kError, 0};
    }
    if (!reader_ || reader_->reports.empty()) {
      return {ReadStatus::kTimeout, 0};
    }
    const std::vector<std::uint8_t> report = std::move(reader_->reports.front());
    reader_->reports.pop_front();
    const std::size_t n = std::min(buffer.size(), report.size());
    std::copy_n(report.begin(), n, buffer.begin());
    return {ReadStatus::kReport, n};
  }

 private:
  bool aliveLocked() const { return !mouse_->shutdown_ && mouse_->plugged_ && mouse_->generation_ == generation_; }

  std::shared_ptr<SimMouse> mouse_;
  NodeRole role_;
  std::uint64_t generation_;
  std::shared_ptr<Reader> reader_;  // the input queue of a handle on the event node
};

// SimMouse ---------------------------------------------------------------------------------

std::shared_ptr<SimMouse> SimMouse::create(SimOptions options) {
  return std::shared_ptr<SimMouse>(new SimMouse(std::move(options)));
}

SimMouse::SimMouse(SimOptions options) : options_(std::move(options)), firmware_(options_.deviceValue) {}

std::string SimMouse::nodePath(NodeRole role) const {
  char path[40];
  std::snprintf(path, sizeof path, "sim://%04x:%04x/%u", options_.id.vendorId, options_.id.productId,
                static_cast<unsigned>(role));
  return path;
}

std::vector<HidNodeDescription> SimMouse::nodes() const {
  std::lock_guard lock(mutex_);
  std::vector<HidNodeDescription> out;
  if (!plugged_) {
    return out;
  }
  for (NodeRole role : {NodeRole::kMouse, NodeRole::kEvents, NodeRole::kCommands}) {
    const auto d = descriptorOf(role);
    out.push_back({nodePath(role), options_.id.vendorId, options_.id.productId, {d.begin(), d.end()}});
  }
  return out;
}

std::unique_ptr<HidHandle> SimMouse::open(const std::string& path, std::string& error) {
  std::lock_guard lock(mutex_);
  if (!plugged_ || shutdown_) {
    error = "the mouse is unplugged";
    return nullptr;
  }
  for (NodeRole role : {NodeRole::kMouse, NodeRole::kEvents, NodeRole::kCommands}) {
    if (samePath(path, nodePath(role))) {
      if (denyOpens_ && role != NodeRole::kMouse) {
        error = "Permission denied";
        return nullptr;
      }
      return handleLocked(role);
    }
  }
  error = "no such device";
  return nullptr;
}

std::unique_ptr<HidHandle> SimMouse::openForFront(NodeRole role) {
  std::lock_guard lock(mutex_);
  if (!plugged_ || shutdown_) {
    return nullptr;
  }
  return handleLocked(role);
}

std::unique_ptr<HidHandle> SimMouse::handleLocked(NodeRole role) {
  std::shared_ptr<Reader> reader;
  if (role == NodeRole::kEvents) {
    reader = std::make_shared<Reader>();
    std::erase_if(readers_, [](const std::weak_ptr<Reader>& r) { return r.expired(); });
    readers_.push_back(reader);
  }
  return std::make_unique<Handle>(shared_from_this(), role, generation_, std::move(reader));
}

void SimMouse::setFrontHooks(FrontHooks hooks) {
  std::lock_guard lock(mutex_);
  front_ = std::move(hooks);
}

std::shared_ptr<HotplugQueue> SimMouse::watchHotplug() {
  auto queue = std::make_shared<HotplugQueue>();
  std::lock_guard lock(mutex_);
  std::erase_if(watchers_, [](const std::weak_ptr<HotplugQueue>& w) { return w.expired(); });
  watchers_.push_back(queue);
  return queue;
}

void SimMouse::logLocked(const char* direction, std::span<const std::uint8_t> bytes) {
  if (options_.log) {
    logTextLocked(direction, hexBytes(bytes));
  }
}

void SimMouse::logTextLocked(const char* kind, const std::string& text) {
  if (!options_.log) {
    return;
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f", ms);
  options_.log(std::string(stamp) + " " + kind + " " + text);
}

void SimMouse::drainPlayLogLocked() {
  for (const std::string& line : firmware_.takePlayLog()) {
    logTextLocked("PLAY", line);
  }
}

bool SimMouse::emitLocked(std::span<const std::uint8_t> report, std::string& error) {
  if (!plugged_) {
    error = "the mouse is unplugged";
    return false;
  }
  logLocked("IN", report);
  if (front_.input) {
    front_.input(report);
  }
  for (const auto& weak : readers_) {
    if (auto reader = weak.lock(); reader && reader->reports.size() < kInputQueueLimit) {
      reader->reports.emplace_back(report.begin(), report.end());
    }
  }
  inputArrived_.notify_all();
  return true;
}

namespace {
bool validButton(int button, std::string& error) {
  if (button < 0 || button >= kButtons) {
    error = "buttons are 0..7";
    return false;
  }
  return true;
}
}  // namespace

bool SimMouse::press(int button, std::string& error) {
  if (!validButton(button, error)) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return buttonLocked(button, true, error);
}

bool SimMouse::release(int button, std::string& error) {
  if (!validButton(button, error)) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return buttonLocked(button, false, error);
}

bool SimMouse::click(int button, std::string& error) {
  if (!validButton(button, error)) {
    return false;
  }
  std::lock_guard lock(mutex_);
  return buttonLocked(button, true, error) && buttonLocked(button, false, error);
}

bool SimMouse::buttonLocked(int button, bool pressed, std::string& error) {
  if (!plugged_) {
    error = "the mouse is unplugged";
    return false;
  }
  const std::vector<EventReport> reports = pressed ? firmware_.press(button) : firmware_.release(button);
  bool ok = true;
  for (const EventReport& report : reports) {
    ok = emitLocked(report, error) && ok;
  }
  drainPlayLogLocked();
  return ok;
}

bool SimMouse::switchProfile(int number, std::string& error) {
  if (number < 1 || number > kProfiles) {
    error = "profiles are 1..4";
    return false;
  }
  std::lock_guard lock(mutex_);
  if (!plugged_) {
    error = "the mouse is unplugged";
    return false;
  }
  const bool ok = emitLocked(firmware_.switchProfile(number - 1), error);
  drainPlayLogLocked();
  return ok;
}

bool SimMouse::adjust(bool up, std::string& error) {
  std::lock_guard lock(mutex_);
  return emitLocked(Firmware::adjustEvent(up), error);
}

bool SimMouse::sendInput(std::span<const std::uint8_t> report) {
  std::string error;
  std::lock_guard lock(mutex_);
  return emitLocked(report, error);
}

void SimMouse::notifyHotplugLocked(HotplugEvent::Kind kind) {
  for (NodeRole role : {NodeRole::kMouse, NodeRole::kEvents, NodeRole::kCommands}) {
    for (const auto& weak : watchers_) {
      if (auto w = weak.lock()) {
        w->push({kind, nodePath(role)});
      }
    }
  }
}

void SimMouse::unplug() {
  std::lock_guard lock(mutex_);
  unplugLocked();
}

void SimMouse::denyOpens(bool deny) {
  std::lock_guard lock(mutex_);
  denyOpens_ = deny;
  if (front_.access) {
    front_.access(!deny);
  }
}

void SimMouse::unplugAfterFinish() {
  std::lock_guard lock(mutex_);
  unplugAfterFinish_ = true;
}

void SimMouse::unplugAfterReports(int reports) {
  std::lock_guard lock(mutex_);
  unplugAfterReports_ = std::max(reports, 0);
}

bool SimMouse::glitchReads() {
  std::lock_guard lock(mutex_);
  if (front_.input) {
    return false;
  }
  for (const auto& weak : readers_) {
    if (auto reader = weak.lock()) {
      reader->glitch = true;
    }
  }
  inputArrived_.notify_all();
  return true;
}

void SimMouse::unplugLocked() {
  if (!plugged_) {
    return;
  }
  plugged_ = false;
  unplugAfterReports_ = 0;
  ++generation_;
  readers_.clear();
  inputArrived_.notify_all();
  notifyHotplugLocked(HotplugEvent::Kind::kRemoval);
}

void SimMouse::plug() {
  std::lock_guard lock(mutex_);
  if (plugged_) {
    return;
  }
  plugged_ = true;
  notifyHotplugLocked(HotplugEvent::Kind::kArrival);
}

bool SimMouse::plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

std::string SimMouse::dump() const {
  std::lock_guard lock(mutex_);
  const auto& memory = firmware_.memory();
  std::string out;
  out.reserve(kMemoryBytes / 16 * 55);
  char address[8];
  for (std::size_t line = 0; line < kMemoryBytes; line += 16) {
    std::snprintf(address, sizeof address, "%04zX: ", line);
    out += address;
    out += hexBytes(std::span(memory).subspan(line, 16));
    out += '\n';
  }
  return out;
}

std::string SimMouse::state() const {
  std::lock_guard lock(mutex_);
  char id[16];
  std::snprintf(id, sizeof id, "%04X:%04X", options_.id.vendorId, options_.id.productId);
  return std::string("plugged ") + (plugged_ ? "yes" : "no") + "\nid " + id + "\n" + firmware_.describe();
}

void SimMouse::inspect(const std::function<void(const Firmware&)>& f) const {
  std::lock_guard lock(mutex_);
  f(firmware_);
}

void SimMouse::shutdown() {
  std::lock_guard lock(mutex_);
  shutdown_ = true;
  inputArrived_.notify_all();
}

}  // namespace quillet::sim
