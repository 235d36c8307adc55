#include "file_system/file_system_win32.h"

#include <windows.h>

static_assert(kMaxPath == MAX_PATH, "path buffers are the platform's MAX_PATH");

bool Win32FileSystem::OpenExclusive(const wchar_t* path, FileHandle* handle) {
  // No sharing: while the handle is held nobody else can open the file. Write-through:
  // every block reaches the disk before the write returns, not just the cache.
  HANDLE opened =
      CreateFileW(path, GENERIC_ALL, 0, NULL, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, NULL);
  if (opened == INVALID_HANDLE_VALUE || opened == NULL) return false;
  *handle = opened;
  return true;
}

bool Win32FileSystem::GetSize(FileHandle handle, int64_t* size) {
  LARGE_INTEGER record;
  if (!GetFileSizeEx(handle, &record)) return false;
  *size = record.QuadPart;
  return true;
}

int32_t Win32FileSystem::LastError() { return static_cast<int32_t>(GetLastError()); }

bool Win32FileSystem::Write(FileHandle handle, const uint8_t* data, uint32_t bytes,
                            uint32_t* written) {
  DWORD count = 0;
  const BOOL succeeded = WriteFile(handle, data, bytes, &count, NULL);
  *written = count;
  return succeeded != FALSE;
}

void Win32FileSystem::Rewind(FileHandle handle) { SetFilePointer(handle, 0, NULL, FILE_BEGIN); }

void Win32FileSystem::Close(FileHandle handle) { CloseHandle(handle); }

bool Win32FileSystem::Delete(const wchar_t* path) { return DeleteFileW(path) != FALSE; }

bool Win32FileSystem::Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void Win32FileSystem::GetOwnPath(wchar_t* buffer) { GetModuleFileNameW(NULL, buffer, MAX_PATH); }

void Win32FileSystem::CopyWithoutOverwrite(const wchar_t* source, const wchar_t* destination) {
  // TRUE: fail rather than replace anything already there.
  CopyFileW(source, destination, TRUE);
}
