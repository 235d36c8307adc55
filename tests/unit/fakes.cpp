#include "fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

namespace {

// The one handle the fake file system hands out.
FileHandle const kFakeHandle = reinterpret_cast<FileHandle>(0x1234);

void CopyOut(const std::wstring& text, wchar_t* buffer) {
  ASSERT_LT(text.size(), static_cast<size_t>(kMaxPath));
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = L'\0';
}

}  // namespace

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t character : text) {
    narrow += character < 0x80 ? static_cast<char>(character) : '?';
  }
  return narrow;
}

void FakeFileSystem::CheckHandle(FileHandle handle, const char* call) const {
  EXPECT_EQ(handle, kFakeHandle) << call << " with a handle never handed out";
  EXPECT_TRUE(handle_open) << call << " on a closed handle";
}

bool FakeFileSystem::OpenExclusive(const wchar_t* path, FileHandle* handle) {
  log_->push_back("Open " + Narrow(path));
  EXPECT_FALSE(handle_open) << "a second handle while one is open";
  if (unopenable.count(path) != 0 || folders.count(path) != 0) return false;
  if (counted_size < 0 && files.count(path) == 0) return false;
  open_path_ = path;
  handle_open = true;
  position_ = 0;
  counted_length = counted_size;
  *handle = kFakeHandle;
  return true;
}

bool FakeFileSystem::GetSize(FileHandle handle, int64_t* size) {
  log_->push_back("GetSize");
  CheckHandle(handle, "GetSize");
  if (size_fails) return false;
  *size = counted_size >= 0 ? counted_size : static_cast<int64_t>(files[open_path_].size());
  return true;
}

int32_t FakeFileSystem::LastError() { return last_error; }

bool FakeFileSystem::Write(FileHandle handle, const uint8_t* data, uint32_t bytes,
                           uint32_t* written) {
  CheckHandle(handle, "Write");
  const int call = write_calls;
  write_calls += 1;
  // Only every thousandth write is logged, so huge files keep the log small.
  if (call < 1000) log_->push_back("Write");
  uint32_t count = bytes;
  const auto fault = write_faults.find(call);
  if (fault != write_faults.end()) {
    if (fault->second.kind == WriteFault::kFail) return false;
    count = fault->second.kind == WriteFault::kZero ? 0 : fault->second.count;
  }
  *written = count;
  if (counted_size >= 0) {
    position_ += count;
    counted_length = std::max(counted_length, position_);
    return true;
  }
  Bytes& content = files[open_path_];
  const size_t end = static_cast<size_t>(position_) + count;
  if (content.size() < end) content.resize(end);
  std::copy(data, data + count, content.begin() + position_);
  position_ = static_cast<int64_t>(end);
  return true;
}

void FakeFileSystem::Rewind(FileHandle handle) {
  log_->push_back("Rewind");
  CheckHandle(handle, "Rewind");
  rewinds += 1;
  position_ = 0;
}

void FakeFileSystem::Close(FileHandle handle) {
  log_->push_back("Close");
  CheckHandle(handle, "Close");
  handle_open = false;
}

bool FakeFileSystem::Delete(const wchar_t* path) {
  log_->push_back("Delete " + Narrow(path));
  EXPECT_FALSE(handle_open && open_path_ == path) << "deleting a file still held open";
  if (undeletable.count(path) != 0) return false;
  return files.erase(path) != 0;
}

bool FakeFileSystem::Exists(const wchar_t* path) {
  log_->push_back("Exists " + Narrow(path));
  return files.count(path) != 0 || folders.count(path) != 0;
}

void FakeFileSystem::GetOwnPath(wchar_t* buffer) {
  log_->push_back("GetOwnPath");
  CopyOut(own_path, buffer);
}

void FakeFileSystem::CopyWithoutOverwrite(const wchar_t* source, const wchar_t* destination) {
  log_->push_back("Copy " + Narrow(source) + " -> " + Narrow(destination));
  copies.emplace_back(source, destination);
  if (files.count(destination) != 0 || folders.count(destination) != 0) return;
  files[destination] = files[source];
}

void FakeProgressWindow::SetLine(int line, const wchar_t* text, bool compact) {
  log_->push_back("SetLine " + std::to_string(line) + " " + Narrow(text));
  lines.push_back(LineCall{line, text, compact});
}

void FakeProgressWindow::SetTitle(const wchar_t* text) {
  log_->push_back("SetTitle " + Narrow(text));
  title = text;
}

void FakeProgressWindow::Start() { log_->push_back("Start"); }

void FakeProgressWindow::SetProgress(uint64_t completed, uint64_t total) {
  progress.emplace_back(completed, total);
}

bool FakeProgressWindow::HasUserCancelled() {
  if (polls < 1000) log_->push_back("Poll");
  polls += 1;
  return cancel_at_poll != 0 && polls >= cancel_at_poll;
}

void FakeProgressWindow::Stop() { log_->push_back("Stop"); }

void FakeProgressWindow::Release() { log_->push_back("Release"); }

void FakeProgressWindows::InitializeCom() { log_->push_back("InitializeCom"); }

ProgressWindow* FakeProgressWindows::Create() {
  log_->push_back("CreateProgress");
  if (create_fails) return nullptr;
  return &window;
}

MessageAnswer FakeMessages::ShowMessage(const wchar_t* text, MessageButtons buttons) {
  log_->push_back("Message " + Narrow(text));
  shown.push_back(ShownMessage{text, buttons});
  if (buttons != MessageButtons::kYesNo || answers.empty()) return MessageAnswer::kOther;
  const MessageAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

const wchar_t* const* FakeTargetSource::SplitCommandLine(int* count) {
  log_->push_back("SplitCommandLine");
  if (split_fails) {
    *count = 0;
    return nullptr;
  }
  argv_.clear();
  for (const std::wstring& argument : arguments) argv_.push_back(argument.c_str());
  *count = static_cast<int>(argv_.size());
  return argv_.data();
}

bool FakeTargetSource::AskForTargetPath(wchar_t* buffer) {
  log_->push_back("OpenDialog");
  EXPECT_EQ(buffer[0], L'\0') << "the dialog must start with an empty path";
  if (!dialog_chooses) return false;
  CopyOut(dialog_choice, buffer);
  return true;
}

bool FakeDesktopFolder::GetPath(wchar_t* buffer) {
  log_->push_back("DesktopFolder");
  if (!available) return false;
  CopyOut(folder, buffer);
  return true;
}

bool FakeDesktopFolder::Join(wchar_t* joined, const wchar_t* folder_path, const wchar_t* name) {
  log_->push_back("Join");
  const std::wstring path = std::wstring(folder_path) + L"\\" + name;
  // The platform's join gives up when the result would not fit a path buffer.
  if (path.size() >= static_cast<size_t>(kMaxPath)) {
    joined[0] = L'\0';
    return false;
  }
  CopyOut(path, joined);
  return true;
}

uint32_t SeedOfPass(int pass) {
  uint32_t state = 1;
  uint32_t seed = 0;
  for (int draw = 0; draw <= pass; ++draw) {
    state = state * 214013u + 2531011u;
    seed = (state >> 16) & 0x7FFFu;
  }
  return seed;
}

Bytes PassStream(uint32_t seed, size_t length) {
  Bytes bytes;
  bytes.reserve(length + 4);
  uint32_t state = seed;
  while (bytes.size() < length) {
    state = state * 214013u + 2531011u;
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<uint8_t>(state >> shift));
  }
  bytes.resize(length);
  return bytes;
}
