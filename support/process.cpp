#include "support/process.h"

#include <map>
#include <mutex>

#include "support/process_children.h"

namespace Vadu {

namespace {

// The children being waited for, each with whether EndChildProcesses ended it, and whether the
// process is ending.
struct ChildRegistry {
  std::mutex mutex;
  std::map<Platform::ChildHandle, bool> children;
  bool ending = false;
};

// Never destroyed: a termination thread may still end children while the process exits.
ChildRegistry& Registry() {
  static ChildRegistry* registry = new ChildRegistry;
  return *registry;
}

bool IsSeparator(char16_t c) { return c == u' ' || c == u'\t'; }

void AppendBackslashes(WString& text, uint32_t count) {
  for (uint32_t k = 0; k < count; ++k) text += u'\\';
}

}  // namespace

namespace Platform {

bool MayStartChildren() {
  ChildRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return !registry.ending;
}

void RegisterChild(ChildHandle child) {
  ChildRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.children[child] = registry.ending;
  if (registry.ending) EndChild(child);
}

bool UnregisterChild(ChildHandle child) {
  ChildRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const auto found = registry.children.find(child);
  if (found == registry.children.end()) return false;
  const bool ended = found->second;
  registry.children.erase(found);
  return ended;
}

bool ArgumentsArePassable(const std::vector<WString>& arguments) {
  for (const WString& argument : arguments)
    for (uint32_t at = 0; at < argument.Length(); ++at)
      if (argument[at] == u'\0') return false;
  return true;
}

Deadline DeadlineAfter(std::chrono::milliseconds limit) {
  // Limits beyond a few years are as good as none, and would overflow the clock's arithmetic.
  constexpr std::chrono::hours kLongest(24 * 365 * 10);
  if (limit <= std::chrono::milliseconds::zero() || limit > kLongest) return std::nullopt;
  return std::chrono::steady_clock::now() + limit;
}

uint32_t MillisecondsLeft(const std::chrono::steady_clock::time_point& deadline, uint32_t ceiling) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left <= std::chrono::milliseconds::zero()) return 0;
  return left.count() < ceiling ? static_cast<uint32_t>(left.count()) : ceiling;
}

}  // namespace Platform

void EndChildProcesses() {
  ChildRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.ending = true;
  for (auto& [child, ended] : registry.children) {
    if (!ended) Platform::EndChild(child);
    ended = true;
  }
}

namespace {

bool EndedWithCodeZero(const RunOutcome& outcome) {
  return outcome.started && !outcome.timedOut && outcome.exitCode == 0;
}

}  // namespace

bool RunAndWait(const WString& program, const std::vector<WString>& arguments, bool hidden) {
  return EndedWithCodeZero(RunProgram(program, arguments, hidden, kNoTimeLimit));
}

bool RunAndWait(const WString& program, const WString& parameters, bool hidden) {
  return EndedWithCodeZero(RunProgram(program, parameters, hidden, kNoTimeLimit));
}

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

WString JoinWindowsArguments(const std::vector<WString>& arguments) {
  WString text;
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (k > 0) text += u' ';
    text += QuoteWindowsArgument(arguments[k]);
  }
  return text;
}

}  // namespace Vadu
