#include "support/url.h"

#include <map>

#include "support/query_encoding.h"

namespace Vadu {

namespace {

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

bool IsValidScheme(const String& text) {
  for (uint32_t i = 0; i < text.Length(); ++i)
    if (!IsSchemeChar(text[i])) return false;
  return true;
}

// The first "/" or "?" at or after `from`: where the authority ends. A query may follow the host
// directly, without a path.
uint32_t AuthorityEnd(const String& text, uint32_t from) {
  for (uint32_t i = from; i < text.Length(); ++i)
    if (text[i] == '/' || text[i] == '?') return i;
  return String::npos;
}

// Reads a port number in the manner of "%d": an optional sign, then digits. False when the text
// does not start with a number; `value` is -1 when the number is negative or too large for a port.
bool ReadPortNumber(const String& text, long& value) {
  uint32_t i = 0, n = text.Length();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= n || text[i] < '0' || text[i] > '9') return false;
  long number = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > 65535) number = 65536;  // out of range; stays out of range
  }
  value = negative || number > 65535 ? -1 : number;
  return true;
}

// Takes the scheme before "://" when it is one; returns where the authority starts.
uint32_t ParseScheme(const String& s, Url& url) {
  const uint32_t separator = s.Find("://");
  if (separator == String::npos || !IsValidScheme(s.Substring(0, separator))) return 0;
  url.scheme = s.Substring(0, separator);
  return separator + 3;
}

// Takes the user information, up to an "@" inside the authority, out of `s`; returns where the
// authority ends then (npos when it runs to the end).
uint32_t ParseUserInfo(String& s, uint32_t authority, Url& url) {
  const uint32_t end = AuthorityEnd(s, authority);
  const uint32_t at = s.Find('@', authority);
  if (at == String::npos || at >= end) return end;
  const String info = s.Substring(authority, at - authority);
  const uint32_t colon = info.Find(':');
  url.user = info.Substring(0, colon);
  if (colon != String::npos) url.password = info.Substring(colon + 1);
  s = s.Substring(0, authority) + s.Substring(at + 1);
  return AuthorityEnd(s, authority);
}

// The ":" before the port in the host part [authority, hostEnd), or npos. The colons of a
// bracketed IPv6 literal are not port separators.
uint32_t PortSeparator(const String& s, uint32_t authority, uint32_t hostEnd) {
  uint32_t portSearch = authority;
  if (authority < hostEnd && s[authority] == '[') {
    const uint32_t close = s.Find(']', authority);
    if (close != String::npos && close < hostEnd) portSearch = close + 1;
  }
  const uint32_t colon = s.Find(':', portSearch);
  return colon != String::npos && colon < hostEnd ? colon : String::npos;
}

// Takes the host and the port (the scheme's default when there is none or it is not a number; none
// when it is out of range) from the host part [authority, hostEnd).
void ParseHostAndPort(const String& s, uint32_t authority, uint32_t hostEnd, Url& url) {
  const uint32_t colon = PortSeparator(s, authority, hostEnd);
  if (colon == String::npos) {
    url.host = s.Substring(authority, hostEnd - authority);
    url.port = DefaultPort(url.scheme);
    return;
  }
  url.host = s.Substring(authority, colon - authority);
  const String portText = s.Substring(colon + 1, hostEnd - colon - 1).Trim();
  long value;
  if (!ReadPortNumber(portText, value)) value = DefaultPort(url.scheme);
  if (value >= 1 && value <= 65535) url.port = static_cast<uint16_t>(value);
}

// The host without its square brackets; an IPv6 zone's "%25" in brackets becomes "%".
String UnbracketedHost(String host) {
  bool bracketed = false;
  while (host.Length() >= 2 && host[0] == '[' && host[host.Length() - 1] == ']') {
    host = host.Substring(1, host.Length() - 2);
    bracketed = true;
  }
  return bracketed ? host.ReplaceAll("%25", "%") : host;
}

// The query pairs of `text` ("&"-separated, "name=value" or a value alone), decoded.
void ParseQuery(const String& text, std::vector<Url::QueryItem>& query) {
  for (const String& piece : text.Split("&")) {
    const uint32_t equals = piece.Find('=');
    if (equals == String::npos)
      query.emplace_back(String(), DecodeQueryComponent(piece));
    else
      query.emplace_back(DecodeQueryComponent(piece.Substring(0, equals)),
                         DecodeQueryComponent(piece.Substring(equals + 1)));
  }
}

// Takes the path and the query after the authority, which ends at `end` with "/" or "?".
void ParsePathAndQuery(const String& s, uint32_t end, Url& url) {
  String queryText;
  if (s[end] == '/') {
    const uint32_t question = s.Find('?', end);
    url.path = s.Substring(end, question == String::npos ? String::npos : question - end).Trim();
    if (question != String::npos) queryText = s.Substring(question + 1);
  } else {
    queryText = s.Substring(end + 1);
  }
  if (!queryText.IsEmpty()) ParseQuery(queryText, url.query);
}

}  // namespace

uint16_t DefaultPort(const String& scheme, uint16_t fallback) {
  static const std::map<String, uint16_t> kPorts{
      {"http", 80},   {"https", 443}, {"rtsp", 554},   {"mms", 1755},
      {"mmst", 1755}, {"rtmp", 7070}, {"rtmpe", 7070}, {"rtp", 5004},
  };
  auto it = kPorts.find(scheme);
  return it == kPorts.end() ? fallback : it->second;
}

void Url::Parse(const String& text) {
  *this = Url();
  String s = text;
  const uint32_t authority = ParseScheme(s, *this);
  const uint32_t end = ParseUserInfo(s, authority, *this);
  ParseHostAndPort(s, authority, end == String::npos ? s.Length() : end, *this);
  host = UnbracketedHost(host.Trim());
  if (end != String::npos) ParsePathAndQuery(s, end, *this);
}

String Url::ToString() const {
  if (host.IsEmpty()) return String();
  String effectiveScheme = scheme.IsEmpty() ? String("http") : scheme;
  String out = effectiveScheme + "://";
  // An "@" inside the host would be read back as the end of user information: write an (empty)
  // one before it.
  if (!user.IsEmpty() || !password.IsEmpty() || host.Contains("@"))
    out.Append(user).Append(":").Append(password) += '@';
  // Brackets keep what a bare host would lose when read back: its colons (an IPv6 literal) and
  // blanks at its ends.
  if (host.Contains(":") || !(host.Trim() == host))
    out.Append("[").Append(host.ReplaceAll("%", "%25")).Append("]");
  else
    out.Append(host);
  if (port != 0 && port != DefaultPort(effectiveScheme))
    out.Append(":") += String::FromNumber(port);
  out.Append(path.IsEmpty() ? String("/") : path);
  String queryString = QueryString();
  if (!queryString.IsEmpty()) out.Append("?").Append(queryString);
  return out;
}

String Url::QueryString() const {
  String out;
  for (size_t i = 0; i < query.size(); ++i) {
    if (i) out.Append("&");
    const auto& [name, value] = query[i];
    if (!name.IsEmpty()) out.Append(EncodeQueryComponent(name)).Append("=");
    if (!value.IsEmpty()) out.Append(EncodeQueryComponent(value));
  }
  return out;
}

String NormalizeWebAddress(const String& text) {
  if (!text.StartsWith("http")) return String();
  Url url;
  url.Parse(text);
  return url.ToString();
}

}  // namespace Vadu
