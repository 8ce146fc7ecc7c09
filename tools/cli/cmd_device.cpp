// quilletctl list and status: the mouse's HID interfaces, and the status the mouse reports.
#include <cstdio>

#include "cli.h"

namespace quillet::cli {

int runList(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("list takes no arguments");
    return kExitUsage;
  }
  const std::unique_ptr<DeviceService> service = deviceService(context);
  if (!service) {
    return kExitFailed;
  }
  HidTransport& transport = service->transport();
  int found = 0;
  std::string problem;  // the first vendor collection that could not be opened
  for (const HidInterfaceInfo& i : transport.enumerate()) {
    if (!isAcceptedId(i.vendorId, i.productId)) {
      continue;
    }
    ++found;
    std::printf("%s %04X:%04X usage %04X:%04X input %u output %u feature %u", i.path.c_str(), i.vendorId, i.productId,
                i.usagePage, i.usage, i.inputReportLength, i.outputReportLength, i.featureReportLength);
    // The vendor collections are the ones the utility opens: whether it may is part of the list.
    if (i.usage == kVendorUsage && (i.usagePage == kEventUsagePage || i.usagePage == kCommandUsagePage)) {
      const OpenResult opened = transport.open(
          i.path, i.usagePage == kEventUsagePage ? HidAccess::kRead : HidAccess::kWrite);
      if (!opened.handle) {
        std::printf(" not opened: %s", opened.error.c_str());
        if (problem.empty()) {
          problem = i.path + ": " + opened.error;
        }
      }
    }
    std::printf("\n");
  }
  if (found == 0) {
    return noMouse(transport);
  }
  if (std::fflush(stdout) != 0) {
    return kExitFailed;
  }
  return problem.empty() ? kExitOk : noAccess(problem);
}

int runStatus(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("status takes no arguments");
    return kExitUsage;
  }
  int failed = kExitOk;
  const std::unique_ptr<DeviceService> service = openMouse(context, failed);
  if (!service) {
    return failed;
  }
  const auto status = service->protocol().readStatus();
  if (!status) {
    error("the mouse did not answer the status read");
    return kExitFailed;
  }
  std::printf("profile %d\ndevice-value %u\n", status->profileNumber(), status->deviceValue);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace quillet::cli
