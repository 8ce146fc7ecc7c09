// Feeds arbitrary bytes to the survey reply's parse as the body of a reply: it must come back
// with one of its outcomes, never crash or throw, and the percent decoding it starts with must
// never grow the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/survey/survey_query.h"
#include "core/survey/survey_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const quillet::survey::ReplyOutcome outcome = quillet::survey::parseSurveyReply(body);
  switch (outcome) {
    case quillet::survey::ReplyOutcome::Accepted:
    case quillet::survey::ReplyOutcome::Refused:
    case quillet::survey::ReplyOutcome::InvalidEmail:
    case quillet::survey::ReplyOutcome::Malformed:
      break;
    default:
      std::abort();
  }
  if (quillet::survey::percentDecode(body).size() > body.size()) {
    std::abort();
  }
  return 0;
}
