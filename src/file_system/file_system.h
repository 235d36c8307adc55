#pragma once

#include <cstdint>

// A path buffer holds this many characters, terminator included (the platform's MAX_PATH).
constexpr int kMaxPath = 260;

// An open file as the platform hands it out; the core only passes it back.
using FileHandle = void*;

// Every file operation the program makes. The Win32 side is file_system_win32.cpp;
// tests substitute a fake that records calls and injects failures.
class FileSystem {
 public:
  // Opens an existing file for exclusive, write-through reading and writing.
  // False when it can't be had so (missing, read-only, a directory, in use).
  virtual bool OpenExclusive(const wchar_t* path, FileHandle* handle) = 0;
  virtual bool GetSize(FileHandle handle, int64_t* size) = 0;
  // The system error code of the last failed call.
  virtual int32_t LastError() = 0;
  // A synchronous write at the current position; false on failure, else the count written.
  virtual bool Write(FileHandle handle, const uint8_t* data, uint32_t bytes, uint32_t* written) = 0;
  virtual void Rewind(FileHandle handle) = 0;
  virtual void Close(FileHandle handle) = 0;
  virtual bool Delete(const wchar_t* path) = 0;
  // True when anything, file or folder, exists under the path.
  virtual bool Exists(const wchar_t* path) = 0;
  // The running program's own file, into a buffer of kMaxPath characters.
  virtual void GetOwnPath(wchar_t* buffer) = 0;
  // Copies unless something already exists at the destination, which is never overwritten.
  virtual void CopyWithoutOverwrite(const wchar_t* source, const wchar_t* destination) = 0;

 protected:
  ~FileSystem() = default;
};
