// Any bytes as the stream a simulator sends the host: cut into frames in pieces of varying
// size, each frame decoded as every reply type the host reads.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "core/io/sim_wire.h"

using namespace quillet::simwire;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // The first byte chooses the piece size, so frames split across reads get fuzzed too.
  const std::size_t piece = 1 + data[0] % 64;
  FrameReader reader;
  for (std::size_t at = 1; at < size; at += piece) {
    reader.feed({data + at, std::min(piece, size - at)});
    while (auto frame = reader.next()) {
      if (frame->payload.size() > kMaxFrameBytes) {
        std::abort();
      }
      if (const auto nodes = decodeNodes(frame->payload)) {
        // What decodes must encode back to the same bytes.
        if (encodeNodes(*nodes) != frame->payload) {
          std::abort();
        }
      }
      (void)decodeResult(frame->payload);
      (void)decodeInput(frame->payload);
      (void)decodeHotplug(frame->payload);
      (void)decodeControlReply(frame->payload);
      (void)decodeOpen(frame->payload);
      (void)decodeGetFeature(frame->payload);
      (void)decodeRead(frame->payload);
    }
  }
  return 0;
}
