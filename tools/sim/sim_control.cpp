#include "sim_control.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace quillet::sim {
namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\n')) {
      ++i;
    }
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\n') {
      ++i;
    }
    if (i > start) {
      out.push_back(line.substr(start, i - start));
    }
  }
  return out;
}

std::optional<int> number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

simwire::ControlReply usage(std::string text) { return {kControlUsage, std::move(text) + "\n"}; }

simwire::ControlReply done(bool ok, const std::string& error) {
  return ok ? simwire::ControlReply{kControlOk, ""} : simwire::ControlReply{kControlFailed, error + "\n"};
}

}  // namespace

simwire::ControlReply runControl(SimMouse& mouse, std::string_view line) {
  const auto w = words(line);
  if (w.empty()) {
    return usage("no command");
  }
  const std::string_view name = w[0];
  std::string error;
  if (w.size() == 1) {
    if (name == "unplug") {
      mouse.unplug();
      return done(true, "");
    }
    if (name == "plug") {
      mouse.plug();
      return done(true, "");
    }
    if (name == "deny" || name == "allow") {
      mouse.denyOpens(name == "deny");
      return done(true, "");
    }
    if (name == "glitch") {
      return done(mouse.glitchReads(), "glitch: the kernel's hidraw node cannot be made to fail a read");
    }
    if (name == "dump") {
      return {kControlOk, mouse.dump()};
    }
    if (name == "state") {
      return {kControlOk, mouse.state()};
    }
  }
  if (w.size() == 2) {
    const auto n = number(w[1]);
    if (name == "press" || name == "release" || name == "click") {
      if (!n) {
        return usage("buttons are 0..7");
      }
      bool ok = false;
      if (name == "press") {
        ok = mouse.press(*n, error);
      } else if (name == "release") {
        ok = mouse.release(*n, error);
      } else {
        ok = mouse.click(*n, error);
      }
      if (!ok && (*n < 0 || *n > 7)) {
        return usage(error);
      }
      return done(ok, error);
    }
    if (name == "profile") {
      if (!n || *n < 1 || *n > 4) {
        return usage("profiles are 1..4");
      }
      return done(mouse.switchProfile(*n, error), error);
    }
    if (name == "unplug" && w[1] != "after-finish") {
      if (!n || *n < 1) {
        return usage("unplug takes after-finish or a number of reports (1 or more)");
      }
      mouse.unplugAfterReports(*n);
      return done(true, "");
    }
    if (name == "unplug" && w[1] == "after-finish") {
      mouse.unplugAfterFinish();
      return done(true, "");
    }
    if (name == "adjust" && (w[1] == "up" || w[1] == "down")) {
      return done(mouse.adjust(w[1] == "up", error), error);
    }
  }
  return usage("unknown command '" + std::string(line.substr(0, 80)) + "'");
}

}  // namespace quillet::sim
