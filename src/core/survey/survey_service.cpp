#include "core/survey/survey_service.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>


namespace quillet::survey {
namespace {

bool isHostNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == '_';
}

bool isIpv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  unsigned value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  if (value == 0 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<SurveyService> parseSurveyService(std::string_view text) {
  SurveyService service;
  std::string_view rest;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close < 3) {
      return std::nullopt;
    }
    const std::string_view address = text.substr(1, close - 1);
    if (!std::all_of(address.begin(), address.end(), isIpv6Char) || address.find(':') == std::string_view::npos) {
      return std::nullopt;
    }
    service.host = std::string(text.substr(0, close + 1));
    rest = text.substr(close + 1);
  } else {
    const std::size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty() || !std::all_of(host.begin(), host.end(), isHostNameChar)) {
      return std::nullopt;
    }
    service.host = std::string(host);
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
  }
  if (!rest.empty()) {
    if (rest.front() != ':') {
      return std::nullopt;
    }
    const std::optional<std::uint16_t> port = parsePort(rest.substr(1));
    if (!port) {
      return std::nullopt;
    }
    service.port = *port;
  }
  return service;
}

std::string_view builtInSurveyHost() { return QUILLET_BUILT_IN_SURVEY_HOST; }

ServiceChoice surveyServiceFromEnvironment() {
  ServiceChoice choice;
  const char* value = std::getenv(kSurveyHostVariable);
  if (value == nullptr || *value == '\0') {
    // The build checked its setting's form; should it still not parse, nothing is sent.
    choice.service = parseSurveyService(builtInSurveyHost());
    if (!choice.service) {
      choice.problem = "the built-in survey service " + std::string(builtInSurveyHost()) + " is not host or host:port";
    }
    return choice;
  }
  choice.service = parseSurveyService(value);
  if (!choice.service) {
    choice.problem = std::string(kSurveyHostVariable) + "=" + value + " is not host or host:port";
  }
  return choice;
}

}  // namespace quillet::survey
