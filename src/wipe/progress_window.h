#pragma once

#include <cstdint>

// The line numbers of the progress window the program writes to; line 3 is never used.
constexpr int kStatusLine = 1;
constexpr int kPathLine = 2;

// The shell's progress window as the program uses it. The Win32 side wraps
// IProgressDialog; tests substitute a fake.
class ProgressWindow {
 public:
  // With compact set, a text too long for the line is shortened to fit.
  virtual void SetLine(int line, const wchar_t* text, bool compact) = 0;
  virtual void SetTitle(const wchar_t* text) = 0;
  // Shows the window and returns at once.
  virtual void Start() = 0;
  virtual void SetProgress(uint64_t completed, uint64_t total) = 0;
  virtual bool HasUserCancelled() = 0;
  virtual void Stop() = 0;
  virtual void Release() = 0;

 protected:
  ~ProgressWindow() = default;
};

// A progress window that shows nothing and is never cancelled.
class AbsentProgressWindow final : public ProgressWindow {
 public:
  void SetLine(int, const wchar_t*, bool) override {}
  void SetTitle(const wchar_t*) override {}
  void Start() override {}
  void SetProgress(uint64_t, uint64_t) override {}
  bool HasUserCancelled() override { return false; }
  void Stop() override {}
  void Release() override {}
};
