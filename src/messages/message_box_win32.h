#pragma once

#include <windows.h>

#include "messages/messages.h"

// The program's instance handle, recorded by WinMain; the message boxes load their icon from it.
// NOLINTNEXTLINE(bugprone-dynamic-static-initializers): a declaration; defined as NULL.
extern HINSTANCE g_instance;

// The record every message box is shown with: the program's caption, icon and Help button.
MSGBOXPARAMSW MessageBoxRecord(const wchar_t* text, UINT buttons);

// The message-box callback for the Help button: opens the maker's page, the box stays.
void CALLBACK OpenHelpLink(LPHELPINFO help);

// Shows a message box with MB_OK or MB_YESNO; the button pressed, or 0 if it can't be shown.
int ShowMessage(const wchar_t* text, UINT buttons);

class Win32Messages final : public Messages {
 public:
  MessageAnswer ShowMessage(const wchar_t* text, MessageButtons buttons) override;
};
