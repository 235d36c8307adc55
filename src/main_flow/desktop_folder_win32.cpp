#include "main_flow/desktop_folder_win32.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

bool Win32DesktopFolder::GetPath(wchar_t* buffer) {
  // FALSE: a desktop folder that doesn't exist is not created for the sake of a copy.
  return SHGetSpecialFolderPathW(NULL, buffer, CSIDL_DESKTOPDIRECTORY, FALSE) != FALSE;
}

bool Win32DesktopFolder::Join(wchar_t* joined, const wchar_t* folder, const wchar_t* name) {
  return PathCombineW(joined, folder, name) != NULL;
}
