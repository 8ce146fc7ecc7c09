#pragma once
// Where the survey goes: the survey service's host and port. The built-in service is the build's
// setting QUILLET_SURVEY_HOST (builtInSurveyService, port 8080 unless it names one); the variable
// QUILLET_SURVEY_HOST of the environment ("host" or "host:port", an IPv6 address in brackets)
// points a run at another service, for tests and private deployments.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::survey {

inline constexpr std::uint16_t kSurveyPort = 8080;
inline constexpr const char* kSurveyHostVariable = "QUILLET_SURVEY_HOST";

struct SurveyService {
  std::string host;  // a name, an IPv4 address, or an IPv6 address in brackets
  std::uint16_t port = kSurveyPort;

  // "host:port", as the URL carries it.
  std::string authority() const { return host + ":" + std::to_string(port); }
};

// "host" (port 8080) or "host:port" (port 1..65535); a host is letters, digits, '-', '.' and
// '_', or an IPv6 address in brackets. nullopt for anything else, including an empty text.
std::optional<SurveyService> parseSurveyService(std::string_view text);

struct ServiceChoice {
  std::optional<SurveyService> service;  // none when the variable is set but malformed
  std::string problem;                   // what is wrong with the variable then
};

// The build's setting, as it was given ("survey.quillet.example" unless the build set another).
std::string_view builtInSurveyHost();

// QUILLET_SURVEY_HOST when it is set and not empty, else the built-in service. A malformed
// variable gives no service at all: the survey is then not sent anywhere, rather than to a
// service the user did not mean.
ServiceChoice surveyServiceFromEnvironment();

}  // namespace quillet::survey
