#pragma once
// What the survey service checks in a request: the path, the keys and their order, the form of
// every value, and the MD5 signature over the values as typed.
//
//   /v1/driver_survey/?age=A&area=R&email=E[&facebook=F][&game=G]&mac=M&name=N&sexuality=S
//       &types=K736&sign=MD5("age=A&area=R&email=E[&facebook=F][&game=G]&mac=M&name=N"
//                            "&sexuality=S&types=K736" "sekdaAPI")
//
// where the signed values are the decoded ones ('+' a space, "%XY" a byte), name, facebook and
// game arrive escaped exactly as urlEscape writes them, the other values exactly as
// queryValueText writes them, S is "male" or "female" and the signature 32 lower-case hex digits.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet::survey_server {

enum class Verdict { Valid, WrongPath, BadKeys, BadValue, BadSignature };

struct Check {
  Verdict verdict = Verdict::Valid;
  std::string detail;  // what is wrong, for the log
  std::vector<std::pair<std::string, std::string>> values;  // decoded, in order (sign included)
};

// `target` is the request line's target: path, then '?' and the query.
Check checkSurveyRequest(std::string_view target);

// "valid", "wrong-path", "bad-keys", "bad-value", "bad-signature".
const char* verdictName(Verdict verdict);

}  // namespace quillet::survey_server
