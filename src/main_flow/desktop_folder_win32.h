#pragma once

#include "main_flow/platform.h"

class Win32DesktopFolder final : public DesktopFolder {
 public:
  bool GetPath(wchar_t* buffer) override;
  bool Join(wchar_t* joined, const wchar_t* folder, const wchar_t* name) override;
};
