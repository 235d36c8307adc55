#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Finding the program's windows from another process and acting on them the way a user
// would. Every call that reaches into the other process has a time limit: a hung program
// fails a step, it never blocks the driver.

constexpr wchar_t kDialogClass[] = L"#32770";

struct ChildControl {
  int id;
  std::wstring class_name;
  std::wstring text;
  HWND window;
};

// A visible top-level dialog with this exact title; owner 0 takes any process's.
HWND FindDialog(const wchar_t* title, DWORD owner);
DWORD OwnerProcess(HWND window);
bool ReadText(HWND window, std::wstring* text);
// Every control inside parent, at any depth, in the order the platform lists them.
std::vector<ChildControl> ReadChildren(HWND parent);
// The first control inside parent with this id and window class; NULL when there is none.
HWND FindControl(HWND parent, int id, const wchar_t* class_name);
// A static control that shows an icon, as a message box's icon does.
bool ShowsIcon(HWND control);
// BM_CLICK: the button goes down and up and tells its dialog, as under a mouse click.
bool ClickButton(HWND button);
bool PostCommand(HWND dialog, int id);
bool SetText(HWND window, const std::wstring& text);
// F1 as a key press typed into the dialog's focused control.
bool PressF1(HWND dialog);
std::wstring ClassOf(HWND window);
std::string DescribeAllWindows();
