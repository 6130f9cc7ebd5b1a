/* Test program whose icon and version strings the iconchanger tests replace. It reports what
 * Windows' own resource functions see in its image, so a run after the edit shows the loader still
 * accepts it. */
#include <windows.h> /* First: the other Windows headers depend on it. */

#include <imagehlp.h>
#include <stdio.h>
#include <stdlib.h>

static LPSTR first_group = NULL;

static BOOL CALLBACK TakeFirstGroup(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
  (void)module;
  (void)type;
  (void)param;
  first_group = IS_INTRESOURCE(name) ? name : _strdup(name);
  return FALSE;
}

/* Prints "version string: <table> <key>=<value>" (value in UTF-8) for some strings of every
 * translation the version information lists, as Windows' version functions read them. */
static void PrintVersionStrings(void) {
  static const wchar_t* const keys[] = {L"ProductName", L"FileDescription", L"CompanyName"};
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(NULL, path, MAX_PATH);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  void* info = size ? malloc(size) : NULL;
  WORD* translations = NULL;
  UINT translations_size = 0;
  if (!info || !GetFileVersionInfoW(path, 0, size, info) ||
      !VerQueryValueW(info, L"\\VarFileInfo\\Translation", (void**)&translations,
                      &translations_size)) {
    free(info);
    return;
  }
  for (UINT t = 0; t + 1 < translations_size / sizeof(WORD); t += 2) {
    char table[9];
    snprintf(table, sizeof(table), "%04x%04x", translations[t], translations[t + 1]);
    for (size_t k = 0; k < sizeof(keys) / sizeof(keys[0]); ++k) {
      wchar_t query[128];
      _snwprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[t],
                 translations[t + 1], keys[k]);
      query[127] = 0;
      wchar_t* value = NULL;
      UINT value_size = 0;
      if (!VerQueryValueW(info, query, (void**)&value, &value_size) || !value) continue;
      char key[64], text[1024];
      WideCharToMultiByte(CP_UTF8, 0, keys[k], -1, key, sizeof(key), NULL, NULL);
      if (!WideCharToMultiByte(CP_UTF8, 0, value, -1, text, sizeof(text), NULL, NULL)) continue;
      printf("version string: %s %s=%s\n", table, key, text);
    }
  }
  free(info);
}

#pragma pack(push, 2)
typedef struct {
  BYTE width, height, color_count, reserved;
  WORD planes, bit_count;
  DWORD bytes_in_res;
  WORD id;
} GroupEntry;
typedef struct {
  WORD reserved, type, count;
  GroupEntry entries[1];
} GroupDir;
#pragma pack(pop)

int main(void) {
  char path[MAX_PATH];
  HMODULE self = GetModuleHandleA(NULL);
  GetModuleFileNameA(NULL, path, MAX_PATH);
  printf("fixture: hello\n");

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  void* info = size ? malloc(size) : NULL;
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT fixed_size = 0;
  char* description = NULL;
  UINT description_size = 0;
  if (info && GetFileVersionInfoA(path, 0, size, info) &&
      VerQueryValueA(info, "\\", (void**)&fixed, &fixed_size) && fixed) {
    printf("version: %lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwFileVersionMS),
           (unsigned long)LOWORD(fixed->dwFileVersionMS),
           (unsigned long)HIWORD(fixed->dwFileVersionLS),
           (unsigned long)LOWORD(fixed->dwFileVersionLS));
    if (VerQueryValueA(info, "\\StringFileInfo\\040904b0\\FileDescription", (void**)&description,
                       &description_size))
      printf("description: %s\n", description);
  } else {
    printf("version: none\n");
  }
  PrintVersionStrings();

  char text[128];
  if (LoadStringA(self, 100, text, sizeof(text)) > 0)
    printf("string: %s\n", text);
  else
    printf("string: none\n");

  EnumResourceNamesA(self, (LPCSTR)RT_GROUP_ICON, TakeFirstGroup, 0);
  HRSRC group_info = first_group ? FindResourceA(self, first_group, (LPCSTR)RT_GROUP_ICON) : NULL;
  const GroupDir* group =
      group_info ? (const GroupDir*)LockResource(LoadResource(self, group_info)) : NULL;
  if (!group) {
    printf("icons: none\n");
  } else {
    printf("icons: %u\n", (unsigned)group->count);
    for (unsigned i = 0; i < group->count; ++i) {
      const GroupEntry* e = &group->entries[i];
      HRSRC icon = FindResourceA(self, MAKEINTRESOURCEA(e->id), (LPCSTR)RT_ICON);
      printf("icon: %u %u %u %lu %s\n", (unsigned)e->width, (unsigned)e->height,
             (unsigned)e->bit_count, (unsigned long)e->bytes_in_res,
             icon && SizeofResource(self, icon) == e->bytes_in_res ? "found" : "missing");
    }
  }

  DWORD header_sum = 0, computed_sum = 0;
  if (MapFileAndCheckSumA(path, &header_sum, &computed_sum) == CHECKSUM_SUCCESS)
    printf("checksum: %s\n", header_sum == computed_sum ? "ok" : "mismatch");
  else
    printf("checksum: unreadable\n");
  return 0;
}
