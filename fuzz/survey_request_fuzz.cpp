// Feeds arbitrary bytes to the survey service's check of a request target, as the server reads
// it off the request line. Whatever arrives, the check gives a verdict; a request it calls valid
// has its nine or fewer keys in order, and the same target written again from its decoded values
// is the target that came in.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/survey/survey_query.h"
#include "request_check.h"

namespace {

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

bool escapedKey(const std::string& key) { return key == "name" || key == "facebook" || key == "game"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view target(reinterpret_cast<const char*>(data), size);
  const quillet::survey_server::Check c = quillet::survey_server::checkSurveyRequest(target);
  if (c.verdict != quillet::survey_server::Verdict::Valid) {
    check(!c.detail.empty());
    return 0;
  }
  check(c.values.size() >= 8 && c.values.size() <= 10);
  check(c.values.front().first == "age" && c.values.back().first == "sign");
  std::string again = std::string(quillet::survey::kSurveyPath) + "?";
  for (std::size_t i = 0; i < c.values.size(); ++i) {
    const auto& [key, value] = c.values[i];
    again += (i == 0 ? "" : "&") + key + "=" +
             (escapedKey(key) ? quillet::survey::urlEscape(value) : quillet::survey::queryValueText(value));
  }
  check(again == target);
  return 0;
}
