#include "linux/desktop_mouse.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/io/ini.h"

namespace quillet {
namespace {


constexpr const char* kGnomeSchema = "org.gnome.desktop.peripherals.mouse";
constexpr const char* kGnomeSpeedKey = "speed";

class Gnome final : public DesktopMouseSettings {
 public:
  explicit Gnome(GSettings* settings) : settings_(settings) {}
  ~Gnome() override { g_object_unref(settings_); }
  Gnome(const Gnome&) = delete;
  Gnome& operator=(const Gnome&) = delete;

  std::string name() const override { return "GNOME"; }
  std::optional<int> pointerSpeed() override {
    return unitToWindowsSpeed(g_settings_get_double(settings_, kGnomeSpeedKey));
  }
  bool setPointerSpeed(int speed) override {
    const bool ok = g_settings_set_double(settings_, kGnomeSpeedKey, windowsSpeedToUnit(speed)) != FALSE;
    g_settings_sync();  // hand the change to the settings daemon before we go on
    return ok;
  }
  std::optional<int> wheelScrollLines() override { return std::nullopt; }
  bool setWheelScrollLines(int) override { return false; }

 private:
  GSettings* settings_;
};

class Kde final : public DesktopMouseSettings {
 public:
  explicit Kde(const std::filesystem::path& configHome)
      : input_(configHome / "kcminputrc"), globals_(configHome / "kdeglobals") {}

  std::string name() const override { return "KDE"; }
  std::optional<int> pointerSpeed() override {
    // Plasma's default acceleration is 0, the middle of the scale.
    const std::string text = ini::readString(input_, "Mouse", kSpeedKey, "0", 64);
    return unitToWindowsSpeed(std::strtod(text.c_str(), nullptr));
  }
  bool setPointerSpeed(int speed) override {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", windowsSpeedToUnit(speed));
    return ini::writeString(input_, "Mouse", kSpeedKey, text);
  }
  std::optional<int> wheelScrollLines() override {
    const int lines = ini::toInt(ini::readString(globals_, "KDE", kWheelKey, "3", 16));
    return lines > 0 ? lines : 3;
  }
  bool setWheelScrollLines(int lines) override {
    return ini::writeString(globals_, "KDE", kWheelKey, std::to_string(lines));
  }

 private:
  static constexpr const char* kSpeedKey = "XLbInptPointerAcceleration";
  static constexpr const char* kWheelKey = "WheelScrollLines";
  std::filesystem::path input_;
  std::filesystem::path globals_;
};

std::filesystem::path configHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    return xdg;
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : ".") / ".config";
}

}  // namespace

std::unique_ptr<DesktopMouseSettings> makeGnomeMouseSettings(const std::filesystem::path& keyfile) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) {
    return nullptr;
  }
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, kGnomeSchema, TRUE);
  if (schema == nullptr) {
    return nullptr;
  }
  std::unique_ptr<DesktopMouseSettings> result;
  if (g_settings_schema_has_key(schema, kGnomeSpeedKey)) {
    // The key file keeps the schema's path as its group: [org/gnome/desktop/peripherals/mouse].
    GSettingsBackend* backend =
        keyfile.empty() ? nullptr : g_keyfile_settings_backend_new(keyfile.c_str(), "/", nullptr);
    result = std::make_unique<Gnome>(g_settings_new_full(schema, backend, nullptr));
    if (backend != nullptr) {
      g_object_unref(backend);  // the settings object holds its own reference
    }
  }
  g_settings_schema_unref(schema);
  return result;
}

std::unique_ptr<DesktopMouseSettings> makeKdeMouseSettings(const std::filesystem::path& home) {
  return std::make_unique<Kde>(home);
}

std::unique_ptr<DesktopMouseSettings> makeDesktopMouseSettings() {
  const char* env = std::getenv("XDG_CURRENT_DESKTOP");
  const std::string_view desktop = env != nullptr ? env : "";
  // XDG_CURRENT_DESKTOP is a colon-separated list such as "ubuntu:GNOME".
  auto names = [&desktop](std::string_view name) { return desktop.find(name) != std::string_view::npos; };
  if (names("KDE")) {
    return makeKdeMouseSettings(configHome());
  }
  if (names("GNOME") || names("Unity") || names("Budgie") || names("Pantheon")) {
    if (auto gnome = makeGnomeMouseSettings()) {
      return gnome;
    }
  }
  return makeUnavailableMouseSettings();
}

}  // namespace quillet
