#include "core/io/sim_wire.h"

namespace quillet::simwire {
namespace {

class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      out_.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    }
  }
  void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  // A 16-bit length and the bytes; longer input is cut to what the length can say.
  void sized(std::span<const std::uint8_t> b) {
    const std::size_t n = std::min<std::size_t>(b.size(), 0xFFFF);
    u16(static_cast<std::uint16_t>(n));
    bytes(b.first(n));
  }
  std::vector<std::uint8_t> take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
};

// Reads fields off a payload; any read past the end leaves it failed, and every later read
// gives zeros.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> p) : p_(p) {}
  std::uint8_t u8() {
    if (!need(1)) {
      return 0;
    }
    return p_[pos_++];
  }
  std::uint16_t u16() {
    if (!need(2)) {
      return 0;
    }
    const auto v = static_cast<std::uint16_t>(p_[pos_] | (p_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::uint32_t u32() {
    if (!need(4)) {
      return 0;
    }
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      v |= static_cast<std::uint32_t>(p_[pos_ + static_cast<std::size_t>(i)]) << (8 * i);
    }
    pos_ += 4;
    return v;
  }
  std::span<const std::uint8_t> take(std::size_t n) {
    if (!need(n)) {
      return {};
    }
    auto s = p_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  std::span<const std::uint8_t> sized() { return take(u16()); }
  std::span<const std::uint8_t> rest() { return take(p_.size() - pos_); }
  bool ok() const { return ok_; }
  bool done() const { return ok_ && pos_ == p_.size(); }

 private:
  bool need(std::size_t n) {
    if (!ok_ || p_.size() - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  std::span<const std::uint8_t> p_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::vector<std::uint8_t> toVector(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

}  // namespace

bool isKnownType(std::uint8_t type) {
  switch (static_cast<FrameType>(type)) {
    case FrameType::kEnumerate:
    case FrameType::kOpen:
    case FrameType::kSetFeature:
    case FrameType::kGetFeature:
    case FrameType::kRead:
    case FrameType::kWatchHotplug:
    case FrameType::kControl:
    case FrameType::kNodes:
    case FrameType::kResult:
    case FrameType::kInput:
    case FrameType::kHotplug:
    case FrameType::kControlReply:
      return true;
  }
  return false;
}

std::vector<std::uint8_t> encodeFrame(FrameType type, std::span<const std::uint8_t> payload) {
  Writer w;
  w.u32(static_cast<std::uint32_t>(payload.size()));
  w.u8(static_cast<std::uint8_t>(type));
  w.bytes(payload);
  return w.take();
}

void FrameReader::feed(std::span<const std::uint8_t> bytes) {
  if (failed_) {
    return;
  }
  // Drop what earlier frames used before the buffer grows again.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 4096) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<Frame> FrameReader::next() {
  if (failed_ || buffer_.size() - start_ < kHeaderBytes) {
    return std::nullopt;
  }
  Reader header(std::span<const std::uint8_t>(buffer_).subspan(start_, kHeaderBytes));
  const std::uint32_t length = header.u32();
  const std::uint8_t type = header.u8();
  if (length > kMaxFrameBytes || !isKnownType(type)) {
    failed_ = true;
    return std::nullopt;
  }
  if (buffer_.size() - start_ - kHeaderBytes < length) {
    return std::nullopt;
  }
  Frame frame;
  frame.type = static_cast<FrameType>(type);
  const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + kHeaderBytes);
  frame.payload.assign(begin, begin + length);
  start_ += kHeaderBytes + length;
  return frame;
}

std::vector<std::uint8_t> encodeNodes(const std::vector<HidNodeDescription>& nodes) {
  Writer w;
  const std::size_t n = std::min<std::size_t>(nodes.size(), 0xFF);
  w.u8(static_cast<std::uint8_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    w.u16(nodes[i].vendorId);
    w.u16(nodes[i].productId);
    w.sized(bytesOf(nodes[i].path));
    w.sized(nodes[i].reportDescriptor);
  }
  return w.take();
}

std::optional<std::vector<HidNodeDescription>> decodeNodes(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  const std::uint8_t n = r.u8();
  std::vector<HidNodeDescription> nodes;
  for (std::uint8_t i = 0; i < n && r.ok(); ++i) {
    HidNodeDescription node;
    node.vendorId = r.u16();
    node.productId = r.u16();
    node.path = textOf(r.sized());
    node.reportDescriptor = toVector(r.sized());
    nodes.push_back(std::move(node));
  }
  if (!r.done()) {
    return std::nullopt;
  }
  return nodes;
}

std::vector<std::uint8_t> encodeOpen(const OpenRequest& request) {
  Writer w;
  w.u8(request.access == HidAccess::kWrite ? 1 : 0);
  w.bytes(bytesOf(request.path));
  return w.take();
}

std::optional<OpenRequest> decodeOpen(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  const std::uint8_t access = r.u8();
  OpenRequest request;
  request.path = textOf(r.rest());
  if (!r.done() || access > 1) {
    return std::nullopt;
  }
  request.access = access == 1 ? HidAccess::kWrite : HidAccess::kRead;
  return request;
}

std::vector<std::uint8_t> encodeGetFeature(const GetFeatureRequest& request) {
  Writer w;
  w.u16(request.length);
  w.u8(request.reportId);
  return w.take();
}

std::optional<GetFeatureRequest> decodeGetFeature(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  GetFeatureRequest request;
  request.length = r.u16();
  request.reportId = r.u8();
  if (!r.done() || request.length == 0 || request.length > kMaxReportBytes) {
    return std::nullopt;
  }
  return request;
}

std::vector<std::uint8_t> encodeRead(const ReadRequest& request) {
  Writer w;
  w.u32(request.timeoutMs);
  w.u16(request.length);
  return w.take();
}

std::optional<ReadRequest> decodeRead(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  ReadRequest request;
  request.timeoutMs = r.u32();
  request.length = r.u16();
  if (!r.done() || request.length == 0 || request.length > kMaxReportBytes) {
    return std::nullopt;
  }
  return request;
}

std::vector<std::uint8_t> encodeResult(const Result& result) {
  Writer w;
  w.u8(result.ok ? 0 : 1);
  w.bytes(result.data);
  return w.take();
}

std::optional<Result> decodeResult(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  const std::uint8_t status = r.u8();
  Result result;
  result.data = toVector(r.rest());
  if (!r.done() || status > 1 || result.data.size() > kMaxReportBytes) {
    return std::nullopt;
  }
  result.ok = status == 0;
  return result;
}

std::vector<std::uint8_t> encodeInput(const InputReply& reply) {
  Writer w;
  w.u8(static_cast<std::uint8_t>(reply.status));
  w.bytes(reply.report);
  return w.take();
}

std::optional<InputReply> decodeInput(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  const std::uint8_t status = r.u8();
  InputReply reply;
  reply.report = toVector(r.rest());
  if (!r.done() || status > static_cast<std::uint8_t>(ReadStatus::kError) || reply.report.size() > kMaxReportBytes) {
    return std::nullopt;
  }
  reply.status = static_cast<ReadStatus>(status);
  // A report is never empty, and only a report carries bytes.
  if ((reply.status == ReadStatus::kReport) == reply.report.empty()) {
    return std::nullopt;
  }
  return reply;
}

std::vector<std::uint8_t> encodeHotplug(const HotplugEvent& event) {
  Writer w;
  w.u8(event.kind == HotplugEvent::Kind::kRemoval ? 1 : 0);
  w.bytes(bytesOf(event.path));
  return w.take();
}

std::optional<HotplugEvent> decodeHotplug(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  const std::uint8_t kind = r.u8();
  HotplugEvent event;
  event.path = textOf(r.rest());
  if (!r.done() || kind > 1 || event.path.empty()) {
    return std::nullopt;
  }
  event.kind = kind == 1 ? HotplugEvent::Kind::kRemoval : HotplugEvent::Kind::kArrival;
  return event;
}

std::vector<std::uint8_t> encodeControlReply(const ControlReply& reply) {
  Writer w;
  w.u8(reply.exitCode);
  w.bytes(bytesOf(reply.text));
  return w.take();
}

std::optional<ControlReply> decodeControlReply(std::span<const std::uint8_t> payload) {
  Reader r(payload);
  ControlReply reply;
  reply.exitCode = r.u8();
  reply.text = textOf(r.rest());
  if (!r.done()) {
    return std::nullopt;
  }
  return reply;
}

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::string textOf(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace quillet::simwire
