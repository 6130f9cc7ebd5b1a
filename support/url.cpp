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

  uint32_t authority = 0;
  uint32_t separator = s.Find("://");
  if (separator != String::npos && IsValidScheme(s.Substring(0, separator))) {
    scheme = s.Substring(0, separator);
    authority = separator + 3;
  }

  // User information: up to an "@" inside the authority.
  uint32_t end = AuthorityEnd(s, authority);
  uint32_t at = s.Find('@', authority);
  if (at != String::npos && at < end) {
    String info = s.Substring(authority, at - authority);
    uint32_t colon = info.Find(':');
    user = info.Substring(0, colon);
    if (colon != String::npos) password = info.Substring(colon + 1);
    s = s.Substring(0, authority) + s.Substring(at + 1);
    end = AuthorityEnd(s, authority);
  }

  // Host and port. The colons of a bracketed IPv6 literal are not port separators.
  uint32_t hostEnd = end == String::npos ? s.Length() : end;
  uint32_t portSearch = authority;
  if (authority < hostEnd && s[authority] == '[') {
    uint32_t close = s.Find(']', authority);
    if (close != String::npos && close < hostEnd) portSearch = close + 1;
  }
  uint32_t colon = s.Find(':', portSearch);
  if (colon != String::npos && colon < hostEnd) {
    host = s.Substring(authority, colon - authority);
    String portText = s.Substring(colon + 1, hostEnd - colon - 1).Trim();
    long value;
    if (!ReadPortNumber(portText, value)) value = DefaultPort(scheme);
    if (value >= 1 && value <= 65535) port = static_cast<uint16_t>(value);
  } else {
    host = s.Substring(authority, hostEnd - authority);
    port = DefaultPort(scheme);
  }

  host = host.Trim();
  bool bracketed = false;
  while (host.Length() >= 2 && host[0] == '[' && host[host.Length() - 1] == ']') {
    host = host.Substring(1, host.Length() - 2);
    bracketed = true;
  }
  if (bracketed) host = host.ReplaceAll("%25", "%");

  if (end == String::npos) return;
  String queryText;
  if (s[end] == '/') {
    uint32_t question = s.Find('?', end);
    path = s.Substring(end, question == String::npos ? String::npos : question - end).Trim();
    if (question != String::npos) queryText = s.Substring(question + 1);
  } else {
    queryText = s.Substring(end + 1);
  }
  if (queryText.IsEmpty()) return;
  for (const String& piece : queryText.Split("&")) {
    uint32_t equals = piece.Find('=');
    if (equals == String::npos)
      query.emplace_back(String(), DecodeQueryComponent(piece));
    else
      query.emplace_back(DecodeQueryComponent(piece.Substring(0, equals)),
                         DecodeQueryComponent(piece.Substring(equals + 1)));
  }
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
