#include "messages/message_box_win32.h"

#include <shellapi.h>

#include "messages/help_url.h"
#include "resource.h"

HINSTANCE g_instance = NULL;

namespace {

constexpr wchar_t kCaption[] = L"Brelquin";

}  // namespace

MSGBOXPARAMSW MessageBoxRecord(const wchar_t* text, UINT buttons) {
  MSGBOXPARAMSW record = {};
  record.cbSize = sizeof(record);
  record.hwndOwner = NULL;
  record.hInstance = g_instance;
  record.lpszText = text;
  record.lpszCaption = kCaption;
  // The program has no window, so the box has to ask for the foreground itself.
  record.dwStyle = buttons | MB_USERICON | MB_HELP | MB_SETFOREGROUND;
  record.lpszIcon = MAKEINTRESOURCEW(BRELQUIN_MESSAGE_ICON);
  record.dwContextHelpId = 0;
  record.lpfnMsgBoxCallback = OpenHelpLink;
  record.dwLanguageId = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
  return record;
}

void CALLBACK OpenHelpLink(LPHELPINFO) {
  ShellExecuteW(NULL, L"open", kHelpUrl, NULL, NULL, SW_SHOWNORMAL);
}

int ShowMessage(const wchar_t* text, UINT buttons) {
  const MSGBOXPARAMSW record = MessageBoxRecord(text, buttons);
  return MessageBoxIndirectW(&record);
}

MessageAnswer Win32Messages::ShowMessage(const wchar_t* text, MessageButtons buttons) {
  const UINT style = buttons == MessageButtons::kYesNo ? MB_YESNO : MB_OK;
  return ::ShowMessage(text, style) == IDYES ? MessageAnswer::kYes : MessageAnswer::kOther;
}
