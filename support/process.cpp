#include "support/process.h"

namespace Vadu {

namespace {

bool IsSeparator(char16_t c) { return c == u' ' || c == u'\t'; }

void AppendBackslashes(WString& text, uint32_t count) {
  for (uint32_t k = 0; k < count; ++k) text += u'\\';
}

}  // namespace

WString RedirectSuffix(StderrRedirect redirect) {
  switch (redirect) {
    case StderrRedirect::ToOutput:
      return u" 2>&1";
    case StderrRedirect::ToNull:
      return u" 2>" + NullDevice();
    default:
      return WString();
  }
}

std::vector<WString> SplitWindowsCommandLine(const WString& text) {
  std::vector<WString> arguments;
  const uint32_t length = text.Length();
  uint32_t at = 0;
  for (;;) {
    while (at < length && IsSeparator(text[at])) ++at;
    if (at == length) break;
    WString argument;
    bool quoted = false;
    while (at < length && (quoted || !IsSeparator(text[at]))) {
      const char16_t c = text[at];
      if (c == u'\\') {
        uint32_t count = 0;
        for (; at < length && text[at] == u'\\'; ++at) ++count;
        if (at < length && text[at] == u'"') {
          // Backslashes before a quote escape each other in pairs; an odd one escapes the quote.
          AppendBackslashes(argument, count / 2);
          if (count % 2) {
            argument += u'"';
            ++at;
          }
        } else {
          AppendBackslashes(argument, count);
        }
      } else if (c == u'"') {
        if (quoted && at + 1 < length && text[at + 1] == u'"') {
          argument += u'"';  // "" inside quotes: a literal quote, still quoted
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
      } else {
        argument += c;
        ++at;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

WString QuoteWindowsArgument(const WString& argument) {
  const uint32_t length = argument.Length();
  bool needsQuotes = length == 0;
  for (uint32_t k = 0; k < length && !needsQuotes; ++k)
    needsQuotes = IsSeparator(argument[k]) || argument[k] == u'"';
  if (!needsQuotes) return argument;

  WString quoted(u'"');
  for (uint32_t at = 0;; ++at) {
    uint32_t count = 0;
    for (; at < length && argument[at] == u'\\'; ++at) ++count;
    if (at == length) {
      // Doubled, so that the closing quote stays a quote.
      AppendBackslashes(quoted, count * 2);
      break;
    }
    if (argument[at] == u'"') {
      AppendBackslashes(quoted, count * 2 + 1);
    } else {
      AppendBackslashes(quoted, count);
    }
    quoted += argument[at];
  }
  quoted += u'"';
  return quoted;
}

}  // namespace Vadu
