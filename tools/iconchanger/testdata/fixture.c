/* Test program whose icon the iconchanger tests replace. It reports what Windows' own resource
 * functions see in its image, so a run after the edit shows the loader still accepts it. */
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
