#pragma once
// A small HID report descriptor parser: enough of the HID item grammar (main items and
// collections, report ID, report size and count, usage page and usage, push and pop) to tell
// the top-level collections of a device and the report lengths a host needs for each.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet::hid {

// What a host learns about one top-level collection.
struct CollectionCaps {
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  // The longest report of each kind in the collection, in bytes, plus one for the report ID
  // when the collection numbers its reports; 0 when the collection has no report of the kind.
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;
  std::uint16_t featureReportLength = 0;
  bool usesReportIds = false;
  bool operator==(const CollectionCaps&) const = default;
};

struct DescriptorInfo {
  std::vector<CollectionCaps> collections;  // in descriptor order
  std::string error;                        // empty when the whole descriptor parsed
  bool ok() const { return error.empty(); }
};

// Parses a whole report descriptor. A descriptor that is truncated inside an item, closes a
// collection it never opened, leaves one open, pops an empty global stack, uses report ID 0,
// holds a reserved item or describes a report longer than 65535 bytes is rejected: `error` says
// what and where, and `collections` is empty.
DescriptorInfo parseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace quillet::hid
