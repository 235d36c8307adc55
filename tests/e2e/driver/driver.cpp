// BrelquinDriver: acts on Brelquin's windows as a user would, in the steps given on its
// command line, and prints what it saw, one line per step (see report.h).
//
//   BrelquinDriver.exe STEP [ARGUMENT] [STEP [ARGUMENT] ...]
//
//   timeout SECONDS   how long each later step may wait (20 at the start)
//   box               wait for a message box captioned "Brelquin"; print its text and buttons
//   press ID          press a button of that box (IDOK, IDYES, IDNO) and wait until it closes
//   f1                press F1 in that box: Wine's message box sends WM_HELP for F1 only
//   progress TEXT     wait until the progress window's first line reads TEXT; print its lines
//   cancel-at TEXT    press Cancel in the progress window as soon as its first line reads TEXT
//   open-dialog       wait for the Open dialog; print its title, file name and file type
//   open-type PATH    type PATH as the file name in the Open dialog and press Open
//   open-cancel       press Cancel in the Open dialog
//   hold PATH         open PATH with no sharing and keep it open until the driver ends
//   probe PATH        try to open PATH; print whether that worked and the error code
//   wait-file PATH    wait until something exists under PATH
//   exit              wait for the program to end; fail if it shows another box first
//   dump              print every visible top-level window with its controls
//
// The first window a step finds fixes the program: later steps only look at that process's
// windows. The driver stops at the first step that fails, prints "fail" and a dump, and
// exits with 1; it exits with 0 when every step passed and with 2 on a malformed command.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "report.h"
#include "windows_seen.h"

namespace {

constexpr wchar_t kBoxCaption[] = L"Brelquin";
constexpr wchar_t kProgressTitle[] = L"Brel-Quin";
constexpr wchar_t kOpenDialogTitle[] = L"Select a file to nuke ...";
constexpr int kBoxTextId = 0xFFFF;
constexpr int kProgressLineIds[] = {103, 104, 105};
// The Explorer-style Open dialog's file name box and file type list.
constexpr int kFileNameComboId = 0x47C;
constexpr int kFileNameEditId = 0x480;
constexpr int kFileTypeComboId = 0x470;
constexpr DWORD kDefaultWaitMillis = 20000;
constexpr DWORD kPollMillis = 10;

struct Session {
  DWORD wait_millis = kDefaultWaitMillis;
  DWORD program = 0;
  HANDLE program_handle = NULL;
  std::vector<HANDLE> held_files;
};

struct StepResult {
  bool passed;
  std::string failure;
};

StepResult Passed() { return StepResult{true, ""}; }
StepResult Failed(const std::string& why) { return StepResult{false, why}; }

template <typename Probe>
bool WaitUntil(DWORD millis, Probe probe) {
  const ULONGLONG deadline = GetTickCount64() + millis;
  for (;;) {
    if (probe()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMillis);
  }
}

// Held from the first sight of the program's window, so that its exit code stays readable.
void Adopt(Session& session, HWND window) {
  if (session.program != 0) return;
  session.program = OwnerProcess(window);
  session.program_handle =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, session.program);
}

HWND WaitForDialog(Session& session, const wchar_t* title) {
  HWND found = NULL;
  WaitUntil(session.wait_millis, [&] {
    found = FindDialog(title, session.program);
    return found != NULL;
  });
  if (found != NULL) Adopt(session, found);
  return found;
}

bool WaitUntilGone(Session& session, HWND window) {
  return WaitUntil(session.wait_millis,
                   [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

int ButtonId(const wchar_t* name) {
  static const struct {
    const wchar_t* name;
    int id;
  } kButtons[] = {{L"IDOK", IDOK},
                  {L"IDCANCEL", IDCANCEL},
                  {L"IDYES", IDYES},
                  {L"IDNO", IDNO},
                  {L"IDHELP", IDHELP}};
  for (const auto& button : kButtons) {
    if (std::wcscmp(button.name, name) == 0) return button.id;
  }
  return _wtoi(name);
}

// Where the window is on the screen, for screenshots: left, top, right, bottom.
void AddRect(JsonObject& object, HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  AddJson(object, "rect",
          "[" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
              std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "]");
}

std::string DescribeBox(HWND box) {
  JsonObject object;
  // Tells one box from the next, even when both carry the same text.
  AddNumber(object, "window", static_cast<long long>(reinterpret_cast<uintptr_t>(box)));
  std::wstring text;
  ReadText(GetDlgItem(box, kBoxTextId), &text);
  AddString(object, "text", text);
  std::string buttons = "[";
  bool icon = false;
  for (const ChildControl& child : ReadChildren(box)) {
    if (child.class_name == L"Static" && ShowsIcon(child.window)) icon = true;
    if (child.class_name != L"Button" || !IsWindowVisible(child.window)) continue;
    JsonObject button;
    AddNumber(button, "id", child.id);
    AddString(button, "label", child.text);
    if (buttons.size() > 1) buttons += ",";
    buttons += CloseObject(button);
  }
  AddJson(object, "buttons", buttons + "]");
  AddBool(object, "icon", icon);
  AddBool(object, "progress_visible", FindDialog(kProgressTitle, OwnerProcess(box)) != NULL);
  AddRect(object, box);
  return object.members;
}

StepResult Box(Session& session, const wchar_t*) {
  const HWND box = WaitForDialog(session, kBoxCaption);
  if (box == NULL) return Failed("no message box appeared");
  PrintLine("box", JsonObject{DescribeBox(box)});
  return Passed();
}

StepResult Press(Session& session, const wchar_t* name) {
  const HWND box = WaitForDialog(session, kBoxCaption);
  if (box == NULL) return Failed("no message box to press a button in");
  const int id = ButtonId(name);
  const HWND button = FindControl(box, id, L"Button");
  if (button == NULL) return Failed("the box has no such button");
  if (!ClickButton(button)) return Failed("the button did not take the click");
  if (!WaitUntilGone(session, box)) return Failed("the box stayed open after the press");
  JsonObject object;
  AddNumber(object, "id", id);
  PrintLine("press", object);
  return Passed();
}

StepResult F1(Session& session, const wchar_t*) {
  const HWND box = WaitForDialog(session, kBoxCaption);
  if (box == NULL) return Failed("no message box to press F1 in");
  if (!PressF1(box)) return Failed("F1 could not be typed");
  PrintLine("f1", JsonObject{});
  return Passed();
}

std::wstring ProgressLine(HWND progress, int index) {
  std::wstring text;
  ReadText(GetDlgItem(progress, kProgressLineIds[index]), &text);
  return text;
}

StepResult Progress(Session& session, const wchar_t* expected) {
  const HWND progress = WaitForDialog(session, kProgressTitle);
  if (progress == NULL) return Failed("no progress window appeared");
  if (!WaitUntil(session.wait_millis, [&] { return ProgressLine(progress, 0) == expected; })) {
    return Failed("the progress window's first line never read as expected");
  }
  JsonObject object;
  std::wstring title;
  ReadText(progress, &title);
  AddString(object, "title", title);
  AddString(object, "line1", ProgressLine(progress, 0));
  AddString(object, "line2", ProgressLine(progress, 1));
  AddString(object, "line3", ProgressLine(progress, 2));
  AddRect(object, progress);
  PrintLine("progress", object);
  return Passed();
}

StepResult CancelAt(Session& session, const wchar_t* expected) {
  const HWND progress = WaitForDialog(session, kProgressTitle);
  if (progress == NULL) return Failed("no progress window to cancel");
  // No pause between looks: on a fast disk a whole pass can take a few milliseconds.
  const ULONGLONG deadline = GetTickCount64() + session.wait_millis;
  while (ProgressLine(progress, 0) != expected) {
    if (GetTickCount64() >= deadline) return Failed("the first line never read as expected");
    Sleep(0);
  }
  if (!ClickButton(FindControl(progress, IDCANCEL, L"Button"))) {
    return Failed("Cancel could not be pressed");
  }
  JsonObject object;
  AddString(object, "line1", expected);
  PrintLine("cancel-at", object);
  return Passed();
}

// Where the user types: the edit field inside the file name combo box, or the plain edit
// field of the older dialog.
HWND FileNameBox(HWND dialog) {
  const HWND in_combo = FindControl(dialog, kFileNameComboId, L"Edit");
  return in_combo != NULL ? in_combo : FindControl(dialog, kFileNameEditId, L"Edit");
}

StepResult OpenDialog(Session& session, const wchar_t*) {
  const HWND dialog = WaitForDialog(session, kOpenDialogTitle);
  if (dialog == NULL) return Failed("no Open dialog appeared");
  JsonObject object;
  std::wstring text;
  ReadText(dialog, &text);
  AddString(object, "title", text);
  text.clear();
  ReadText(FileNameBox(dialog), &text);
  AddString(object, "file_name", text);
  text.clear();
  ReadText(FindControl(dialog, kFileTypeComboId, L"ComboBox"), &text);
  AddString(object, "file_type", text);
  AddRect(object, dialog);
  PrintLine("open-dialog", object);
  return Passed();
}

StepResult OpenType(Session& session, const wchar_t* path) {
  const HWND dialog = WaitForDialog(session, kOpenDialogTitle);
  if (dialog == NULL) return Failed("no Open dialog to type into");
  const HWND name = FileNameBox(dialog);
  if (name == NULL || !SetText(name, path)) return Failed("the file name could not be typed");
  if (!ClickButton(FindControl(dialog, IDOK, L"Button"))) {
    return Failed("Open could not be pressed");
  }
  if (!WaitUntilGone(session, dialog)) return Failed("the Open dialog stayed open");
  JsonObject object;
  AddString(object, "path", path);
  PrintLine("open-type", object);
  return Passed();
}

StepResult OpenCancel(Session& session, const wchar_t*) {
  const HWND dialog = WaitForDialog(session, kOpenDialogTitle);
  if (dialog == NULL) return Failed("no Open dialog to cancel");
  if (!ClickButton(FindControl(dialog, IDCANCEL, L"Button"))) {
    return Failed("Cancel could not be pressed");
  }
  if (!WaitUntilGone(session, dialog)) return Failed("the Open dialog stayed open");
  PrintLine("open-cancel", JsonObject{});
  return Passed();
}

StepResult Hold(Session& session, const wchar_t* path) {
  const HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return Failed("the file could not be held");
  session.held_files.push_back(file);
  JsonObject object;
  AddString(object, "path", path);
  PrintLine("hold", object);
  return Passed();
}

StepResult Probe(Session&, const wchar_t* path) {
  const DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE file = CreateFileW(path, GENERIC_READ, kAnySharing, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
  const DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  JsonObject object;
  AddBool(object, "opened", file != INVALID_HANDLE_VALUE);
  AddNumber(object, "error", error);
  PrintLine("probe", object);
  return Passed();
}

StepResult WaitFile(Session& session, const wchar_t* path) {
  if (!WaitUntil(session.wait_millis,
                 [&] { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; })) {
    return Failed("nothing appeared under the path");
  }
  JsonObject object;
  AddString(object, "path", path);
  PrintLine("wait-file", object);
  return Passed();
}

StepResult Exit(Session& session, const wchar_t*) {
  if (session.program_handle == NULL) return Failed("no program window was ever seen");
  HWND box = NULL;
  const bool ended = WaitUntil(session.wait_millis, [&] {
    if (WaitForSingleObject(session.program_handle, 0) == WAIT_OBJECT_0) return true;
    box = FindDialog(kBoxCaption, session.program);
    return box != NULL;
  });
  if (box != NULL) {
    PrintLine("box", JsonObject{DescribeBox(box)});
    return Failed("the program showed another box instead of ending");
  }
  if (!ended) return Failed("the program did not end");
  DWORD code = 0;
  GetExitCodeProcess(session.program_handle, &code);
  JsonObject object;
  AddNumber(object, "code", static_cast<int>(code));
  PrintLine("exit", object);
  return Passed();
}

StepResult Dump(Session&, const wchar_t*) {
  JsonObject object;
  AddJson(object, "windows", DescribeAllWindows());
  PrintLine("dump", object);
  return Passed();
}

StepResult Timeout(Session& session, const wchar_t* seconds) {
  session.wait_millis = static_cast<DWORD>(_wtoi(seconds)) * 1000;
  return Passed();
}

struct Step {
  const wchar_t* name;
  bool takes_argument;
  StepResult (*run)(Session&, const wchar_t*);
};

constexpr Step kSteps[] = {
    {L"timeout", true, Timeout},
    {L"box", false, Box},
    {L"press", true, Press},
    {L"f1", false, F1},
    {L"progress", true, Progress},
    {L"cancel-at", true, CancelAt},
    {L"open-dialog", false, OpenDialog},
    {L"open-type", true, OpenType},
    {L"open-cancel", false, OpenCancel},
    {L"hold", true, Hold},
    {L"probe", true, Probe},
    {L"wait-file", true, WaitFile},
    {L"exit", false, Exit},
    {L"dump", false, Dump},
};

const Step* FindStep(const wchar_t* name) {
  for (const Step& step : kSteps) {
    if (std::wcscmp(step.name, name) == 0) return &step;
  }
  return nullptr;
}

void ReportFailure(Session& session, const Step& step, const std::string& why) {
  JsonObject object;
  AddString(object, "step", step.name);
  AddString(object, "reason", std::wstring(why.begin(), why.end()));
  PrintLine("fail", object);
  Dump(session, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Session session;
  for (int at = 1; at < argc; ++at) {
    const Step* step = FindStep(argv[at]);
    if (step == nullptr || (step->takes_argument && at + 1 >= argc)) {
      JsonObject object;
      AddString(object, "step", argv[at]);
      PrintLine("usage", object);
      return 2;
    }
    const wchar_t* argument = step->takes_argument ? argv[++at] : nullptr;
    const StepResult result = step->run(session, argument);
    if (!result.passed) {
      ReportFailure(session, *step, result.failure);
      return 1;
    }
  }
  return 0;
}
