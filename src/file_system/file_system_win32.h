#pragma once

#include "file_system/file_system.h"

// The file operations on Windows, each with its arguments fixed once here.
class Win32FileSystem final : public FileSystem {
 public:
  bool OpenExclusive(const wchar_t* path, FileHandle* handle) override;
  bool GetSize(FileHandle handle, int64_t* size) override;
  int32_t LastError() override;
  bool Write(FileHandle handle, const uint8_t* data, uint32_t bytes, uint32_t* written) override;
  void Rewind(FileHandle handle) override;
  void Close(FileHandle handle) override;
  bool Delete(const wchar_t* path) override;
  bool Exists(const wchar_t* path) override;
  void GetOwnPath(wchar_t* buffer) override;
  void CopyWithoutOverwrite(const wchar_t* source, const wchar_t* destination) override;
};
