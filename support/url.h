// Web addresses: parsing into parts and writing back in a canonical form.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// The default port of a scheme ("http" 80, "https" 443, "rtsp" 554, "mms" and "mmst" 1755,
// "rtmp" and "rtmpe" 7070, "rtp" 5004), or `fallback` for any other scheme.
uint16_t DefaultPort(const String& scheme, uint16_t fallback = 0);

struct Url {
  using QueryItem = std::pair<String, String>;  // name, value (decoded)

  String scheme;  // empty means "http" when written
  String host;
  uint16_t port = 0;  // 0 for none
  String path;
  String user;
  String password;
  std::vector<QueryItem> query;

  // Replaces every part by those of `text`:
  // [scheme "://"] [user [":" password] "@"] host [":" port] ["/" path] ["?" query].
  // A host in square brackets (an IPv6 literal) loses them. Without a port, or with one that does
  // not read as a number, the scheme's default port is taken.
  void Parse(const String& text);
  // The canonical text: empty without a host; the port only when it is not the scheme's default;
  // "/" for an empty path. A host holding ":" is written in square brackets.
  String ToString() const;
  // The query pairs percent-encoded: name "=" value, joined by "&"; an empty name is written as
  // the value alone.
  String QueryString() const;
};

// The canonical form of a text that begins with "http" (so also "https"); empty for any other.
String NormalizeWebAddress(const String& text);

}  // namespace Vadu
