#include "app/device_session.h"

#include "app/settings_file.h"

namespace quillet {

bool NullDeviceSession::apply(const ProfileSettings& settings, AppState& app, const MacroPlayModeLookup& playModeOf) {
  deriveKeySlots(settings, playModeOf, state_);
  lastBlocks_ = configurationBlocks(settings, state_, app.currentProfile, app.deviceValue);
  // No device is written. The download's last step still runs: the whole model is saved.
  return saveSettings(app.configPath, app.currentProfileNumber, settings, app);
}

std::unique_ptr<DeviceSession> makeDeviceSession(const DeviceSessionOptions& options, std::string& note) {
  note.clear();
  if (options.simulate) {
    note = "the simulated mouse is not part of this build; starting without a mouse";
  } else if (!options.simulatorSocket.empty()) {
    note = "no device link in this build for the simulator at " + options.simulatorSocket +
           "; starting without a mouse";
  }
  return std::make_unique<NullDeviceSession>();
}

}  // namespace quillet
