#include "core/survey/survey_query.h"

#include "core/io/md5.h"
#include "core/survey/survey_rules.h"

namespace quillet::survey {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isAsciiAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void appendEscaped(std::string& out, unsigned char c) {
  out.push_back('%');
  out.push_back(kHex[c >> 4]);
  out.push_back(kHex[c & 0x0F]);
}

// Bytes a query value carries as they are: RFC 3986's unreserved characters and those of its
// sub-delimiters, ':' '@' '/' '?' that keep their meaning inside a value; never '&', '=', '+',
// '%', '#'.
bool carriedAsIs(unsigned char c) {
  if (isAsciiAlnum(c)) {
    return true;
  }
  switch (c) {
    case '-': case '.': case '_': case '~': case '!': case '$': case '\'': case '(': case ')':
    case '*': case ',': case ';': case ':': case '@': case '/': case '?':
      return true;
    default:
      return false;
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

// The query's keys up to name, for one pass: the signing pass gives the values as typed, the
// sending pass the escaped ones.
struct QueryValues {
  std::string age, area, email;
  std::optional<std::string> facebook, game;
  std::string mac, name;
};

std::string joinQuery(const QueryValues& v, std::string_view sexuality) {
  std::string q = "age=" + v.age + "&area=" + v.area + "&email=" + v.email;
  if (v.facebook) {
    q += "&facebook=" + *v.facebook;
  }
  if (v.game) {
    q += "&game=" + *v.game;
  }
  q += "&mac=" + v.mac + "&name=" + v.name;
  q += "&sexuality=";
  q += sexuality;
  q += "&types=";
  q += kProductType;
  return q;
}

std::optional<std::string> optionalAnswer(const std::string& text, std::string_view hint) {
  return answered(text, hint) ? std::optional<std::string>(text) : std::nullopt;
}

}  // namespace

std::string urlEscape(std::string_view value) {
  std::string out;
  out.reserve(value.size() * 3);
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (isAsciiAlnum(c)) {
      out.push_back(ch);
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      appendEscaped(out, c);
    }
  }
  return out;
}

std::string queryValueText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (carriedAsIs(c)) {
      out.push_back(ch);
    } else {
      appendEscaped(out, c);
    }
  }
  return out;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

PreparedSurvey prepareSurvey(const SurveyRecord& a, Md5Function md5Hex) {
  PreparedSurvey out;
  if (!requiredAnswered(a)) {
    out.limit = SurveyLimit::Unanswered;
    return out;
  }
  if (a.name.size() > kMaxEscapedValueBytes) {
    out.limit = SurveyLimit::NameTooLong;
    return out;
  }
  const std::optional<std::string> facebook = optionalAnswer(a.facebook, kFacebookHint);
  const std::optional<std::string> game = optionalAnswer(a.game, kGameHint);
  if (facebook && facebook->size() > kMaxEscapedValueBytes) {
    out.limit = SurveyLimit::FacebookTooLong;
    return out;
  }
  if (game && game->size() > kMaxEscapedValueBytes) {
    out.limit = SurveyLimit::GameTooLong;
    return out;
  }
  const std::string_view sexuality = sexualityWord(a.isMale);

  const QueryValues typed{a.age, a.region, a.email, facebook, game, a.macText, a.name};
  SignedQuery request;
  request.signingText = joinQuery(typed, sexuality);
  request.signingText += kSigningSalt;
  if (request.signingText.size() > kMaxSigningTextBytes) {
    out.limit = SurveyLimit::SigningTextTooLong;
    return out;
  }
  const std::optional<std::string> signature = md5Hex(request.signingText);
  if (!signature) {
    out.limit = SurveyLimit::NoDigest;
    return out;
  }
  request.signature = *signature;

  const auto escaped = [](const std::optional<std::string>& v) {
    return v ? std::optional<std::string>(urlEscape(*v)) : std::nullopt;
  };
  const QueryValues sent{queryValueText(a.age), queryValueText(a.region), queryValueText(a.email),
                         escaped(facebook),     escaped(game),             queryValueText(a.macText),
                         urlEscape(a.name)};
  request.query = joinQuery(sent, sexuality);
  out.request = std::move(request);
  return out;
}

std::string surveyUrl(std::string_view authority, const SignedQuery& request) {
  std::string url = "http://";
  url += authority;
  url += kSurveyPath;
  url += '?';
  url += request.query;
  url += "&sign=";
  url += request.signature;
  return url;
}

std::string surveyLimitText(SurveyLimit limit, Language language) {
  const bool english = language != kChinese;
  switch (limit) {
    case SurveyLimit::None:
      return {};
    case SurveyLimit::Unanswered:
      return answerProblemText(AnswerProblem::RequiredMissing, language);
    case SurveyLimit::NameTooLong:
      return english ? "The name is too long" : "姓名过长";
    case SurveyLimit::FacebookTooLong:
      return english ? "The Facebook answer is too long" : "Facebook 过长";
    case SurveyLimit::GameTooLong:
      return english ? "The game answer is too long" : "游戏名称过长";
    case SurveyLimit::SigningTextTooLong:
      return english ? "The answers are too long" : "填写的内容过长";
    case SurveyLimit::NoDigest:
      return english ? "The survey cannot be signed on this system" : "本机无法为调查签名";
  }
  return {};
}

}  // namespace quillet::survey
