#pragma once
// quilletctl: the command-line face of Quillet. Each command lives in a file of its own and is
// listed in the command table of main.cpp.
#include <filesystem>
#include <string>
#include <vector>

#include "core/device/device_service.h"
#include "core/device/transport_choice.h"
#include "core/io/messages.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"

namespace quillet {
class DeviceProtocol;
}  // namespace quillet

namespace quillet::cli {

// Exit codes shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoMouse = 3;    // no mouse was found
constexpr int kExitNoAccess = 4;   // a mouse is plugged in but its nodes may not be opened

// What the global options and the folders give every command.
struct Context {
  AppState app;
  ProfileSettings settings;
  StderrMessages messages;
  bool simulate = false;  // --simulate: talk to the in-process simulated mouse
  TransportBackends backends;  // the transports this program links
};

struct Command {
  const char* name;
  const char* summary;
  const char* usage;  // full --help text of the command
  int (*run)(Context& context, const std::vector<std::string>& args);
  bool usesSettings = true;  // reads the user's data (an installed copy makes it on first use)
};

// The device service on the transport the options and QUILLET_SIM choose, tracing to stderr
// with QUILLET_HID_LOG set; the mouse is not looked for yet. Without a transport (a backend this
// program lacks) it says so on stderr and returns null.
std::unique_ptr<DeviceService> deviceService(const Context& context);

// The device service with the mouse found and open, for a command that writes or reads it.
// Otherwise null, having said why on stderr, with the exit code in `exitCode` (kExitNoMouse,
// kExitNoAccess, or kExitFailed without a transport).
std::unique_ptr<DeviceService> openMouse(const Context& context, int& exitCode);

// Says why the transport could not look for mice, if it could not, then "no mouse"; returns
// kExitNoMouse.
int noMouse(const HidTransport& transport);

// Prints "quilletctl: <text>" on stderr.
void error(const std::string& text);

// True when the settings file exists and can be read; otherwise says so on stderr.
bool requireSettingsFile(const Context& context);

// Says on stderr which node could not be opened and why, and the udev rule that fixes it;
// returns kExitNoAccess.
int noAccess(const std::string& problem);

int runShow(Context& context, const std::vector<std::string>& args);
int runReset(Context& context, const std::vector<std::string>& args);
int runMacros(Context& context, const std::vector<std::string>& args);
int runPlan(Context& context, const std::vector<std::string>& args);
int runApply(Context& context, const std::vector<std::string>& args);
int runList(Context& context, const std::vector<std::string>& args);
int runStatus(Context& context, const std::vector<std::string>& args);
int runListen(Context& context, const std::vector<std::string>& args);
int runAutostart(Context& context, const std::vector<std::string>& args);

}  // namespace quillet::cli
