#include "request_check.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/survey/survey_query.h"
#include "linux/md5.h"

namespace quillet::survey_server {
namespace {

Check fail(Verdict verdict, std::string detail) {
  Check c;
  c.verdict = verdict;
  c.detail = std::move(detail);
  return c;
}

// The keys of a request, in their one order; facebook and game may be left out.
constexpr std::array<std::string_view, 10> kKeys{"age", "area",      "email", "facebook", "game",
                                                 "mac", "name", "sexuality", "types",    "sign"};

bool optionalKey(std::string_view key) { return key == "facebook" || key == "game"; }

bool escapedKey(std::string_view key) { return key == "name" || key == "facebook" || key == "game"; }

bool isLowerHex(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

const char* verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Valid:
      return "valid";
    case Verdict::WrongPath:
      return "wrong-path";
    case Verdict::BadKeys:
      return "bad-keys";
    case Verdict::BadValue:
      return "bad-value";
    case Verdict::BadSignature:
      return "bad-signature";
  }
  return "?";
}

Check checkSurveyRequest(std::string_view target) {
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  if (path != survey::kSurveyPath) {
    return fail(Verdict::WrongPath, "path " + std::string(path));
  }
  if (question == std::string_view::npos) {
    return fail(Verdict::BadKeys, "no query");
  }
  std::string_view query = target.substr(question + 1);

  // key=value pairs in order, each key once in kKeys' order.
  std::vector<std::pair<std::string_view, std::string_view>> raw;
  while (true) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      return fail(Verdict::BadKeys, "a pair without '=': " + std::string(pair));
    }
    raw.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    if (amp == std::string_view::npos) {
      break;
    }
    query.remove_prefix(amp + 1);
  }
  std::size_t next = 0;
  for (const auto& [key, value] : raw) {
    while (next < kKeys.size() && kKeys[next] != key && optionalKey(kKeys[next])) {
      ++next;
    }
    if (next == kKeys.size() || kKeys[next] != key) {
      return fail(Verdict::BadKeys, "key " + std::string(key) + " out of order or unknown");
    }
    ++next;
  }
  if (next != kKeys.size()) {
    return fail(Verdict::BadKeys, "keys missing after " + std::string(raw.back().first));
  }

  Check check;
  std::string signingText;
  std::string sign;
  for (const auto& [key, value] : raw) {
    std::string decoded = survey::percentDecode(value);
    const std::string canonical = escapedKey(key) ? survey::urlEscape(decoded) : survey::queryValueText(decoded);
    if (canonical != value) {
      return fail(Verdict::BadValue, std::string(key) + " is not written as " + canonical);
    }
    if (key == "sign") {
      sign = decoded;
    } else {
      if (!signingText.empty()) {
        signingText += '&';
      }
      signingText += std::string(key) + "=" + decoded;
    }
    check.values.emplace_back(std::string(key), std::move(decoded));
  }
  const std::string& sexuality = check.values[check.values.size() - 3].second;
  if (sexuality != "male" && sexuality != "female") {
    return fail(Verdict::BadValue, "sexuality " + sexuality);
  }
  if (check.values[check.values.size() - 2].second != survey::kProductType) {
    return fail(Verdict::BadValue, "types " + check.values[check.values.size() - 2].second);
  }
  if (sign.size() != 32 || !isLowerHex(sign)) {
    return fail(Verdict::BadValue, "sign " + sign + " is not 32 lower-case hex digits");
  }
  signingText += survey::kSigningSalt;
  const std::optional<std::string> expected = md5Hex(signingText);
  if (!expected || *expected != sign) {
    return fail(Verdict::BadSignature, "signature of \"" + signingText + "\" is " + expected.value_or("?"));
  }
  return check;
}

}  // namespace quillet::survey_server
