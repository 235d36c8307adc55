#pragma once

#include <windows.h>
#include <commdlg.h>

#include "main_flow/platform.h"

// The record the Open dialog is shown with, writing the chosen path into `buffer`.
OPENFILENAMEW OpenDialogRecord(wchar_t* buffer);

class Win32TargetSource final : public TargetSource {
 public:
  const wchar_t* const* SplitCommandLine(int* count) override;
  bool AskForTargetPath(wchar_t* buffer) override;
};
