#pragma once
// The survey request: its query, the escaping of its values, its MD5 signature and its URL.
//
//   http://HOST:PORT/v1/driver_survey/?age=…&area=…&email=…[&facebook=…][&game=…]&mac=…&name=…
//       &sexuality=male|female&types=K736&sign=<md5>
//
// The keys are always in this (alphabetical) order; facebook and game are left out while they
// are empty or show their hints. The signature is the MD5, as 32 lower-case hex digits, of the
// query built from the values as typed (name, facebook and game not escaped) followed at once by
// the salt "sekdaAPI"; the URL carries name, facebook and game escaped by urlEscape. Text is
// UTF-8 throughout: it is this platform's code page, so a byte limit stated for the code page is
// a limit on UTF-8 bytes, and a character is sent as its UTF-8 bytes.
#include <optional>
#include <string>
#include <string_view>

#include "core/io/md5.h"
#include "core/settings/app_state.h"
#include "core/survey/survey_record.h"

namespace quillet::survey {

inline constexpr std::string_view kSurveyPath = "/v1/driver_survey/";
inline constexpr std::string_view kProductType = "K736";
inline constexpr std::string_view kSigningSalt = "sekdaAPI";
// A value urlEscape escapes (name, facebook, game) holds at most this many bytes before escaping.
inline constexpr std::size_t kMaxEscapedValueBytes = 63;
// The signing text, salt included, holds at most this many bytes.
inline constexpr std::size_t kMaxSigningTextBytes = 511;

// Letters and digits stay, a space becomes '+', every other byte "%XY" (upper-case hex):
// "What game to play:" becomes "What+game+to+play%3A". (Other white space is escaped as "%XY"
// too, so that it reaches the service as what was signed: '+' can only mean a space.)
std::string urlEscape(std::string_view value);

// The values the query carries as they are (age, area, e-mail, mac): unchanged, except the
// bytes that a query value cannot carry without changing the query's meaning or breaking the
// request line (blanks, controls, bytes above 0x7F, and '%', '&', '+', '#', '=' and the few
// others URLs forbid), which become "%XY". "someone-1.x@mail.com" and "Germany" go as they
// are; "New Zealand" goes as "New%20Zealand", which the service decodes back to what was signed.
std::string queryValueText(std::string_view value);

// The inverse of both: '+' becomes a space and "%XY" the byte 0xXY; a '%' without two hex digits
// after it stays as it is.
std::string percentDecode(std::string_view text);

// Why a survey cannot be sent as it stands. Every answer that would give the service a request it
// cannot check is refused before anything is sent, and the form says which.
enum class SurveyLimit {
  None,
  Unanswered,          // a required answer is missing
  NameTooLong,         // more than kMaxEscapedValueBytes bytes
  FacebookTooLong,
  GameTooLong,
  SigningTextTooLong,  // all answers together exceed kMaxSigningTextBytes
  NoDigest,            // the crypto library offers no MD5
};

struct SignedQuery {
  std::string query;        // the URL's query without "&sign="
  std::string signingText;  // the bytes the signature covers, salt included
  std::string signature;    // MD5 of signingText, 32 lower-case hex digits
};

struct PreparedSurvey {
  std::optional<SignedQuery> request;  // set when limit is None
  SurveyLimit limit = SurveyLimit::None;
};

// The signed query of the answers as they stand in the form's fields (hints included; optional
// fields that show their hints are left out) with `answers.macText` as the adapter address,
// signed with `md5Hex`.
PreparedSurvey prepareSurvey(const SurveyRecord& answers, Md5Function md5Hex);

// "http://" + authority + "/v1/driver_survey/?" + query + "&sign=" + signature, where the
// authority is "host:port".
std::string surveyUrl(std::string_view authority, const SignedQuery& request);

// What the form says when the answers break a limit.
std::string surveyLimitText(SurveyLimit limit, Language language);

}  // namespace quillet::survey
