#pragma once

#include <windows.h>
#include <shlobj.h>

#include "main_flow/platform.h"
#include "wipe/progress_window.h"

// CLSID_ProgressDialog and IID_IProgressDialog, spelled out here: the platform's uuid
// library would bring along some thirty kilobytes of other identifiers.
constexpr CLSID kProgressDialogClsid = {
    0xF8383852, 0xFCD3, 0x11D1, {0xA6, 0xB9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
constexpr IID kProgressDialogIid = {
    0xEBBC7C04, 0x315E, 0x11D2, {0xB6, 0x2F, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

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
