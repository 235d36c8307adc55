#include "windows_seen.h"

#include "report.h"

namespace {

constexpr UINT kMessageMillis = 5000;

struct DialogSearch {
  const wchar_t* title;
  DWORD owner;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<DialogSearch*>(parameter);
  if (!IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != kDialogClass) return TRUE;
  if (search->owner != 0 && OwnerProcess(window) != search->owner) return TRUE;
  std::wstring title;
  if (!ReadText(window, &title) || title != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
  auto* children = reinterpret_cast<std::vector<ChildControl>*>(parameter);
  ChildControl child{GetDlgCtrlID(window), ClassOf(window), L"", window};
  ReadText(window, &child.text);
  children->push_back(child);
  return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
  auto* windows = reinterpret_cast<std::vector<HWND>*>(parameter);
  if (IsWindowVisible(window)) windows->push_back(window);
  return TRUE;
}

std::string DescribeWindow(HWND window) {
  JsonObject object;
  std::wstring title;
  ReadText(window, &title);
  AddString(object, "title", title);
  AddString(object, "class", ClassOf(window));
  AddNumber(object, "process", OwnerProcess(window));
  std::string children = "[";
  for (const ChildControl& child : ReadChildren(window)) {
    JsonObject described;
    AddNumber(described, "id", child.id);
    AddString(described, "class", child.class_name);
    AddString(described, "text", child.text);
    AddBool(described, "visible", IsWindowVisible(child.window) != FALSE);
    if (children.size() > 1) children += ",";
    children += CloseObject(described);
  }
  AddJson(object, "children", children + "]");
  return CloseObject(object);
}

}  // namespace

HWND FindDialog(const wchar_t* title, DWORD owner) {
  DialogSearch search{title, owner, NULL};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DWORD OwnerProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

bool ReadText(HWND window, std::wstring* text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageMillis,
                           &length)) {
    return false;
  }
  // Sized by the control itself: a confirmation can carry a path of 32,767 characters.
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kMessageMillis, &copied)) {
    return false;
  }
  text->assign(buffer.data(), copied);
  return true;
}

std::vector<ChildControl> ReadChildren(HWND parent) {
  std::vector<ChildControl> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool ShowsIcon(HWND control) {
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if ((style & SS_TYPEMASK) != SS_ICON) return false;
  DWORD_PTR icon = 0;
  SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageMillis, &icon);
  return icon != 0;
}

HWND FindControl(HWND parent, int id, const wchar_t* class_name) {
  for (const ChildControl& child : ReadChildren(parent)) {
    if (child.id == id && child.class_name == class_name) return child.window;
  }
  return NULL;
}

bool ClickButton(HWND button) {
  if (button == NULL) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kMessageMillis, &result) !=
         0;
}

bool PostCommand(HWND dialog, int id) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) != FALSE;
}

bool SetText(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kMessageMillis, &result) != 0;
}

bool PressF1(HWND dialog) {
  SetForegroundWindow(dialog);
  INPUT keys[2] = {};
  keys[0].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_F1;
  keys[1] = keys[0];
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, keys, sizeof(INPUT)) == 2;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return {name, static_cast<size_t>(length > 0 ? length : 0)};
}

std::string DescribeAllWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  std::string described = "[";
  for (HWND window : windows) {
    if (described.size() > 1) described += ",";
    described += DescribeWindow(window);
  }
  return described + "]";
}
