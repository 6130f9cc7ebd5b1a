// The console on Windows: allocated on demand, written with WriteConsoleA in the level's text
// attribute, and its window placement restored from and saved to a file under TEMP named after
// the console title.
#include <windows.h>

#include <mutex>

#include "support/console_output.h"
#include "support/file_system.h"

namespace Vadu {

namespace {

const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

// The foreground window before the console first appeared, remembered once per process.
HWND ForegroundAtStart() {
  static const HWND window = GetForegroundWindow();
  return window;
}

WString ConsoleTitle() {
  wchar_t buffer[256];
  DWORD length = GetConsoleTitleW(buffer, 256);
  if (length >= 256) length = 255;
  return WString(reinterpret_cast<const char16_t*>(buffer), length);
}

// Finds the console window by giving the console a unique title for a moment; once per process.
HWND ConsoleWindow() {
  static const HWND window = [] {
    for (int attempt = 0; attempt < 30; ++attempt) {
      if (attempt) Sleep(30);
      WString previous = ConsoleTitle();
      WString unique = FromUtf8(String::FromNumber(static_cast<uint64_t>(GetTickCount64())) + "_" +
                                String::FromNumber(static_cast<uint32_t>(GetCurrentProcessId())));
      SetConsoleTitleW(W(unique));
      Sleep(30);
      HWND found = FindWindowW(nullptr, W(unique));
      SetConsoleTitleW(W(previous));
      if (found) return found;
    }
    return HWND(nullptr);
  }();
  return window;
}

// The placement file's path, computed once per process; empty when the console has no title.
// Never destroyed: the final save may run while static objects are being destroyed.
const WString& PlacementPath() {
  static const WString* const path = [] {
    WString name = PlacementFileName(ConsoleTitle());
    WString temp = GetTempDir();
    return new WString(name.IsEmpty() || temp.IsEmpty() ? WString() : JoinPath(temp, name));
  }();
  return *path;
}

WindowRect RectOf(HWND window) {
  RECT rect;
  if (!window || !GetWindowRect(window, &rect)) return WindowRect();
  return WindowRect{rect.left, rect.top, rect.right, rect.bottom};
}

WindowRect ScreenRect() {
  if (GetSystemMetrics(SM_CMONITORS) == 1)
    return WindowRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return WindowRect{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                    top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void RestorePlacement() {
  const WString& path = PlacementPath();
  if (path.IsEmpty()) return;
  WindowRect stored;
  if (!DecodePlacement(ReadWholeFile(path), &stored)) return;
  if (!IsPlacementAcceptable(stored, ScreenRect())) return;
  HWND window = ConsoleWindow();
  if (!window) return;
  SetWindowPos(window, nullptr, stored.left, stored.top, stored.right - stored.left,
               stored.bottom - stored.top, SWP_NOACTIVATE);
  SetForegroundWindow(ForegroundAtStart());
}

}  // namespace

void ConsoleOutput::Open() {
  ForegroundAtStart();
  AllocConsole();  // fails harmlessly when the process has a console already
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  handle_ = output ? reinterpret_cast<intptr_t>(output) : -1;
  static std::once_flag restored;
  std::call_once(restored, RestorePlacement);
  saved_ = RectOf(ConsoleWindow());
}

bool ConsoleOutput::WriteText(uint16_t attribute, const String& text) {
  if (handle_ == -1) return false;
  HANDLE output = reinterpret_cast<HANDLE>(handle_);
  CONSOLE_SCREEN_BUFFER_INFO info;
  WORD previous = GetConsoleScreenBufferInfo(output, &info) ? info.wAttributes : 0;
  bool change = previous != attribute;
  if (change) SetConsoleTextAttribute(output, attribute);
  DWORD written = 0;
  WriteConsoleA(output, text.Data(), text.Length(), &written, nullptr);
  if (change) SetConsoleTextAttribute(output, previous);
  return true;
}

void ConsoleOutput::SavePlacement() {
  const WString& path = PlacementPath();
  if (path.IsEmpty()) return;
  WindowRect now = RectOf(ConsoleWindow());
  if (now.left >= now.right || now == saved_) return;
  if (WriteWholeFile(EncodePlacement(now), path, /*append=*/false)) saved_ = now;
}

void ConsoleOutput::SaveFinalPlacement() {
  static std::once_flag saved;
  std::call_once(saved, [this] { SavePlacement(); });
}

}  // namespace Vadu
