#pragma once

// Fakes of every platform interface. Each records what it was asked to do in one
// shared call log, so tests can check both the world afterwards and the order of events.

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "main_flow/platform.h"

using Bytes = std::vector<uint8_t>;

// One line per call, in the order the calls were made.
using CallLog = std::vector<std::string>;

std::string Narrow(const std::wstring& text);

// What the fake file system does on one particular write.
struct WriteFault {
  enum Kind { kFail, kShort, kZero } kind;
  uint32_t count;  // bytes reported for kShort
};

class FakeFileSystem final : public FileSystem {
 public:
  explicit FakeFileSystem(CallLog& log) : log_(&log) {}

  // The world the program meets.
  std::map<std::wstring, Bytes> files;
  std::set<std::wstring> folders;
  std::set<std::wstring> unopenable;
  std::set<std::wstring> undeletable;
  bool size_fails = false;
  int32_t last_error = 0;
  std::map<int, WriteFault> write_faults;  // by the index of the Write call
  std::wstring own_path = L"C:\\Tools\\brelquin-1.0.exe";
  // With a size set, the open file is only counted, never stored: for huge files.
  int64_t counted_size = -1;

  // What the program did.
  int write_calls = 0;
  int rewinds = 0;
  int64_t counted_length = 0;
  bool handle_open = false;
  std::vector<std::pair<std::wstring, std::wstring>> copies;

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

 private:
  void CheckHandle(FileHandle handle, const char* call) const;

  CallLog* log_;
  std::wstring open_path_;
  int64_t position_ = 0;
};

struct LineCall {
  int line;
  std::wstring text;
  bool compact;
};

class FakeProgressWindow final : public ProgressWindow {
 public:
  explicit FakeProgressWindow(CallLog& log) : log_(&log) {}

  // Answers true from this poll on (counted from 1); never when 0.
  int cancel_at_poll = 0;

  std::vector<LineCall> lines;
  std::wstring title;
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  int polls = 0;

  void SetLine(int line, const wchar_t* text, bool compact) override;
  void SetTitle(const wchar_t* text) override;
  void Start() override;
  void SetProgress(uint64_t completed, uint64_t total) override;
  bool HasUserCancelled() override;
  void Stop() override;
  void Release() override;

 private:
  CallLog* log_;
};

class FakeProgressWindows final : public ProgressWindows {
 public:
  explicit FakeProgressWindows(CallLog& log) : window(log), log_(&log) {}

  bool create_fails = false;
  FakeProgressWindow window;

  void InitializeCom() override;
  ProgressWindow* Create() override;

 private:
  CallLog* log_;
};

struct ShownMessage {
  std::wstring text;
  MessageButtons buttons;
};

class FakeMessages final : public Messages {
 public:
  explicit FakeMessages(CallLog& log) : log_(&log) {}

  // Answers to the Yes/No questions in turn; once used up, every answer is No.
  std::deque<MessageAnswer> answers;
  std::vector<ShownMessage> shown;

  MessageAnswer ShowMessage(const wchar_t* text, MessageButtons buttons) override;

 private:
  CallLog* log_;
};

class FakeTargetSource final : public TargetSource {
 public:
  explicit FakeTargetSource(CallLog& log) : log_(&log) {}

  std::vector<std::wstring> arguments{L"Brelquin.exe"};
  bool split_fails = false;
  bool dialog_chooses = false;
  std::wstring dialog_choice;

  const wchar_t* const* SplitCommandLine(int* count) override;
  bool AskForTargetPath(wchar_t* buffer) override;

 private:
  CallLog* log_;
  std::vector<const wchar_t*> argv_;
};

class FakeDesktopFolder final : public DesktopFolder {
 public:
  explicit FakeDesktopFolder(CallLog& log) : log_(&log) {}

  bool available = true;
  std::wstring folder = L"C:\\Users\\ann\\Desktop";

  bool GetPath(wchar_t* buffer) override;
  bool Join(wchar_t* joined, const wchar_t* folder, const wchar_t* name) override;

 private:
  CallLog* log_;
};

// A whole fake world, and the Platform that hands it to the program.
struct FakeWorld {
  CallLog log;
  FakeTargetSource target_source{log};
  FakeProgressWindows progress_windows{log};
  FakeFileSystem files{log};
  FakeMessages messages{log};
  FakeDesktopFolder desktop{log};
  Platform platform{target_source, progress_windows, files, messages, desktop};
};

// The bytes the word stream writes for one pass with `seed`, `length` of them.
Bytes PassStream(uint32_t seed, size_t length);

// The seed of pass `pass`, drawn by the runtime's rand generator from its first state.
uint32_t SeedOfPass(int pass);
