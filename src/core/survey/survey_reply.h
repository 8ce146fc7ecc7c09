#pragma once
// The survey service's reply: a JSON object whose member "status" says what became of the
// request. The body is URL-decoded before it is parsed, so a reply sent form-encoded reads the
// same.
//
//   "status"                               outcome
//   "1000", or any other string            Accepted
//   "1001"                                 Refused: sent again a second later
//   "1002"                                 InvalidEmail: the user is told, then sent again
//   an integer (1001)                      as the string of its digits
//   missing, null, true, 1.5, [], {}       Malformed: sent again a second later
//   not JSON, or not an object             Malformed
#include <string>
#include <string_view>

namespace quillet::survey {

enum class ReplyOutcome { Accepted, Refused, InvalidEmail, Malformed };

// What the user is told on every InvalidEmail reply.
inline constexpr std::string_view kInvalidEmailText = "Email Must be a valid email address";

ReplyOutcome parseSurveyReply(std::string_view body);

}  // namespace quillet::survey
