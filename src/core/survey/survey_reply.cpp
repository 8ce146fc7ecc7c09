#include "core/survey/survey_reply.h"

#include <json/json.h>

#include <memory>
#include <stdexcept>

#include "core/survey/survey_query.h"

namespace quillet::survey {
namespace {

// "status" as text: a string as it is, an integer as its decimal digits; nothing for any other
// kind of value, which is not an answer the service defines.
std::optional<std::string> statusText(const Json::Value& status) {
  switch (status.type()) {
    case Json::stringValue:
      return status.asString();
    case Json::intValue:
      return std::to_string(status.asLargestInt());
    case Json::uintValue:
      return std::to_string(status.asLargestUInt());
    default:
      return std::nullopt;
  }
}

}  // namespace

ReplyOutcome parseSurveyReply(std::string_view body) {
  const std::string text = percentDecode(body);
  Json::Value root;
  try {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
      return ReplyOutcome::Malformed;
    }
  } catch (const std::exception&) {
    // JsonCpp throws when nesting exceeds its stack limit.
    return ReplyOutcome::Malformed;
  }
  if (!root.isObject()) {
    return ReplyOutcome::Malformed;
  }
  const std::optional<std::string> status = statusText(root["status"]);
  if (!status) {
    return ReplyOutcome::Malformed;
  }
  if (*status == "1001") {
    return ReplyOutcome::Refused;
  }
  if (*status == "1002") {
    return ReplyOutcome::InvalidEmail;
  }
  return ReplyOutcome::Accepted;
}

}  // namespace quillet::survey
