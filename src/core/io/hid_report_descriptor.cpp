#include "core/io/hid_report_descriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

namespace quillet::hid {
namespace {

// Item prefix: bits 0-1 size code (0, 1, 2 or 4 data bytes), bits 2-3 type, bits 4-7 tag.
constexpr std::uint8_t kLongItemPrefix = 0xFE;

enum class ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

namespace main_tag {
constexpr std::uint8_t kInput = 0x8;
constexpr std::uint8_t kOutput = 0x9;
constexpr std::uint8_t kCollection = 0xA;
constexpr std::uint8_t kFeature = 0xB;
constexpr std::uint8_t kEndCollection = 0xC;
}  // namespace main_tag

namespace global_tag {
constexpr std::uint8_t kUsagePage = 0x0;
constexpr std::uint8_t kUnit = 0x6;  // tags 0x1..0x6: logical and physical extents, unit exponent, unit
constexpr std::uint8_t kReportSize = 0x7;
constexpr std::uint8_t kReportId = 0x8;
constexpr std::uint8_t kReportCount = 0x9;
constexpr std::uint8_t kPush = 0xA;
constexpr std::uint8_t kPop = 0xB;
}  // namespace global_tag

namespace local_tag {
constexpr std::uint8_t kUsage = 0x0;
constexpr std::uint8_t kLastDefined = 0xA;  // usage min/max, designators, strings, delimiter
}  // namespace local_tag

constexpr std::array<std::size_t, 4> kDataSizeOfCode = {0, 1, 2, 4};

// A push deeper than any real device needs is taken as garbage, so that a hostile descriptor
// cannot grow the stack without bound.
constexpr std::size_t kMaxGlobalStackDepth = 32;
constexpr std::uint64_t kMaxReportBits = 0xFFFFull * 8;

enum ReportKind : std::size_t { kInputReport = 0, kOutputReport = 1, kFeatureReport = 2, kReportKindCount = 3 };

struct GlobalState {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

// Bits described so far for one report (kind and ID) of the open top-level collection.
struct ReportBits {
  ReportKind kind;
  std::uint8_t reportId;
  std::uint64_t bits;
};

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> d) : d_(d) {}

  DescriptorInfo run() {
    DescriptorInfo info;
    std::size_t pos = 0;
    while (pos < d_.size()) {
      const std::uint8_t prefix = d_[pos];
      if (prefix == kLongItemPrefix) {
        // Long item: prefix, data size, tag, data. No long item tag is defined; skip it.
        if (pos + 2 >= d_.size() || pos + 3 + d_[pos + 1] > d_.size()) {
          return fail("truncated long item", pos);
        }
        pos += 3 + d_[pos + 1];
        continue;
      }
      const std::size_t size = kDataSizeOfCode[prefix & 0x03];
      const auto type = static_cast<ItemType>((prefix >> 2) & 0x03);
      const std::uint8_t tag = static_cast<std::uint8_t>(prefix >> 4);
      if (pos + 1 + size > d_.size()) {
        return fail("truncated item", pos);
      }
      std::uint32_t value = 0;
      for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(d_[pos + 1 + i]) << (8 * i);
      }
      const char* problem = nullptr;
      switch (type) {
        case ItemType::kMain:
          problem = mainItem(tag);
          break;
        case ItemType::kGlobal:
          problem = globalItem(tag, value);
          break;
        case ItemType::kLocal:
          problem = localItem(tag, value, size);
          break;
        case ItemType::kReserved:
          problem = "reserved item type";
          break;
      }
      if (problem != nullptr) {
        return fail(problem, pos);
      }
      pos += 1 + size;
    }
    if (depth_ != 0) {
      return fail("collection not closed at the end", d_.size());
    }
    info.collections = std::move(collections_);
    return info;
  }

 private:
  static DescriptorInfo fail(const char* what, std::size_t offset) {
    DescriptorInfo info;
    info.error = std::string(what) + " at byte " + std::to_string(offset);
    return info;
  }

  const char* mainItem(std::uint8_t tag) {
    const char* problem = nullptr;
    switch (tag) {
      case main_tag::kInput:
        problem = addReport(kInputReport);
        break;
      case main_tag::kOutput:
        problem = addReport(kOutputReport);
        break;
      case main_tag::kFeature:
        problem = addReport(kFeatureReport);
        break;
      case main_tag::kCollection:
        if (depth_ == 0) {
          openTopLevel();
        }
        ++depth_;
        break;
      case main_tag::kEndCollection:
        if (depth_ == 0) {
          problem = "End Collection without Collection";
          break;
        }
        --depth_;
        if (depth_ == 0) {
          problem = closeTopLevel();
        }
        break;
      default:
        problem = "unknown main item";
        break;
    }
    // Local items apply to the next main item only.
    firstUsage_.reset();
    return problem;
  }

  const char* globalItem(std::uint8_t tag, std::uint32_t value) {
    switch (tag) {
      case global_tag::kUsagePage:
        g_.usagePage = value;
        return nullptr;
      case global_tag::kReportSize:
        g_.reportSize = value;
        return nullptr;
      case global_tag::kReportId:
        if (value == 0 || value > 0xFF) {
          return "report ID outside 1..255";
        }
        g_.reportId = static_cast<std::uint8_t>(value);
        return nullptr;
      case global_tag::kReportCount:
        g_.reportCount = value;
        return nullptr;
      case global_tag::kPush:
        if (stack_.size() >= kMaxGlobalStackDepth) {
          return "global stack too deep";
        }
        stack_.push_back(g_);
        return nullptr;
      case global_tag::kPop:
        if (stack_.empty()) {
          return "Pop without Push";
        }
        g_ = stack_.back();
        stack_.pop_back();
        return nullptr;
      default:
        return tag <= global_tag::kUnit ? nullptr : "reserved global item";
    }
  }

  const char* localItem(std::uint8_t tag, std::uint32_t value, std::size_t size) {
    if (tag == local_tag::kUsage) {
      if (!firstUsage_) {
        // A four-byte usage carries its own page in the high half; a shorter one takes the page
        // in effect when the main item comes.
        firstUsage_ = size == 4 ? std::optional<std::uint32_t>(value) : std::optional<std::uint32_t>(value & 0xFFFF);
        firstUsageHasPage_ = size == 4;
      }
      return nullptr;
    }
    return tag <= local_tag::kLastDefined ? nullptr : "reserved local item";
  }

  void openTopLevel() {
    CollectionCaps caps;
    if (firstUsage_) {
      const std::uint32_t page = firstUsageHasPage_ ? (*firstUsage_ >> 16) : g_.usagePage;
      caps.usagePage = static_cast<std::uint16_t>(page & 0xFFFF);
      caps.usage = static_cast<std::uint16_t>(*firstUsage_ & 0xFFFF);
    }
    open_ = caps;
    reports_.clear();
  }

  const char* addReport(ReportKind kind) {
    if (depth_ == 0) {
      // Outside every collection the report belongs to no interface.
      return nullptr;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(g_.reportSize) * g_.reportCount;
    auto it = std::find_if(reports_.begin(), reports_.end(),
                           [&](const ReportBits& r) { return r.kind == kind && r.reportId == g_.reportId; });
    if (it == reports_.end()) {
      reports_.push_back({kind, g_.reportId, 0});
      it = std::prev(reports_.end());
    }
    it->bits += bits;
    if (it->bits > kMaxReportBits) {
      return "report longer than 65535 bytes";
    }
    return nullptr;
  }

  const char* closeTopLevel() {
    const bool usesIds = std::any_of(reports_.begin(), reports_.end(), [](const ReportBits& r) { return r.reportId != 0; });
    std::array<std::uint64_t, kReportKindCount> longest{};
    for (const ReportBits& r : reports_) {
      longest[r.kind] = std::max(longest[r.kind], (r.bits + 7) / 8 + (usesIds ? 1 : 0));
    }
    for (std::uint64_t length : longest) {
      if (length > 0xFFFF) {
        return "report longer than 65535 bytes";
      }
    }
    open_.usesReportIds = usesIds;
    open_.inputReportLength = static_cast<std::uint16_t>(longest[kInputReport]);
    open_.outputReportLength = static_cast<std::uint16_t>(longest[kOutputReport]);
    open_.featureReportLength = static_cast<std::uint16_t>(longest[kFeatureReport]);
    collections_.push_back(open_);
    return nullptr;
  }

  std::span<const std::uint8_t> d_;
  GlobalState g_;
  std::vector<GlobalState> stack_;
  std::optional<std::uint32_t> firstUsage_;
  bool firstUsageHasPage_ = false;
  std::size_t depth_ = 0;
  CollectionCaps open_;
  std::vector<ReportBits> reports_;
  std::vector<CollectionCaps> collections_;
};

}  // namespace

DescriptorInfo parseReportDescriptor(std::span<const std::uint8_t> descriptor) { return Parser(descriptor).run(); }

}  // namespace quillet::hid
