#pragma once

#include <windows.h>
#include <shlobj.h>

#include "main_flow/platform.h"
#include "wipe/progress_window.h"

// The shell's progress window (IProgressDialog).
class Win32ProgressWindow final : public ProgressWindow {
 public:
  void Attach(IProgressDialog* dialog) { dialog_ = dialog; }

  void SetLine(int line, const wchar_t* text, bool compact) override;
  void SetTitle(const wchar_t* text) override;
  void Start() override;
  void SetProgress(uint64_t completed, uint64_t total) override;
  bool HasUserCancelled() override;
  void Stop() override;
  void Release() override;

 private:
  IProgressDialog* dialog_ = nullptr;
};

class Win32ProgressWindows final : public ProgressWindows {
 public:
  void InitializeCom() override;
  ProgressWindow* Create() override;

 private:
  Win32ProgressWindow window_;
};
