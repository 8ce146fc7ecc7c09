// quilletctl plan and apply: the settings download, printed as the block writes it makes, or
// written into the mouse and saved, through the same code as the window's apply.
#include <cstdio>

#include "cli.h"
#include "core/device/block_writer.h"
#include "core/device/device_lock.h"
#include "core/device/download.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"
#include "linux/desktop_mouse.h"

namespace quillet::cli {
namespace {

// Prints each block write as "block AAAA HH HH ..." in the order it is made.
class PrintingWriter final : public BlockWriter {
 public:
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    std::printf("block %04X", address);
    for (const std::uint8_t b : data) {
      std::printf(" %02X", b);
    }
    std::printf("\n");
    return true;
  }
};

struct Loaded {
  Loaded(Context& context, LibraryFiles files) : library(context.messages, files) {
    loadStartupSettings(context.app, context.settings);
    library.start(context.app);
  }
  MacroLibrary library;
  DownloadState state;
};

}  // namespace

int runPlan(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("plan takes no arguments");
    return kExitUsage;
  }
  if (!requireSettingsFile(context)) {
    return kExitUsage;
  }
  Loaded loaded(context, LibraryFiles::ReadOnly);  // a plan only reads
  context.app.deviceValue = 0;                     // no mouse is asked
  PrintingWriter writer;
  DownloadContext download{context.settings, context.app, loaded.state, loaded.library, writer,
                           [] {
                             std::printf("finish\n");
                             return true;
                           },
                           nullptr, context.messages, {}, false};
  const DownloadResult result = downloadSettings(download);
  if (std::fflush(stdout) != 0) {
    return kExitFailed;
  }
  return result.completed ? kExitOk : kExitFailed;
}

int runApply(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("apply takes no arguments");
    return kExitUsage;
  }
  if (!requireSettingsFile(context)) {
    return kExitUsage;
  }
  Loaded loaded(context, LibraryFiles::ReadWrite);
  int failed = kExitOk;
  const std::unique_ptr<DeviceService> service = openMouse(context, failed);
  if (!service) {
    return failed;
  }
  DeviceLink& link = service->link();
  DeviceProtocol& protocol = service->protocol();
  if (const auto status = protocol.readStatus()) {
    context.app.deviceValue = status->deviceValue;
  }
  // One download into one mouse at a time, across programs: the mouse always holds one whole
  // download. Another's ends first.
  DeviceLock lock;
  std::string problem;
  LockOutcome locked = lock.acquire(link.deviceIdentity(), kDownloadLock, false, &problem);
  if (locked == LockOutcome::Busy) {
    error("another program is writing into this mouse; waiting for it to end");
    locked = lock.acquire(link.deviceIdentity(), kDownloadLock, true, &problem);
  }
  if (locked == LockOutcome::Failed) {
    error("this download is not kept apart from other programs' (" + problem + ")");
  }
  const std::unique_ptr<DesktopMouseSettings> desktop = makeDesktopMouseSettings();
  DownloadContext download{context.settings, context.app, loaded.state, loaded.library, protocol,
                           [&protocol] { return protocol.endDownload(); }, desktop.get(), context.messages, {}, true};
  const DownloadResult result = downloadSettings(download);
  for (const std::filesystem::path& file : result.unsaved) {
    error("could not write " + file.string() + "; it is as it was before this apply");
  }
  if (!result.mouseTookAll) {
    error(std::string("the mouse did not take every report of the download; ") +
          (result.saved() ? "the settings are saved, " : "") + "apply again once it is back");
  }
  return result.completed && result.mouseTookAll && result.saved() ? kExitOk : kExitFailed;
}

}  // namespace quillet::cli
