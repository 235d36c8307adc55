// Checks, on Windows or Wine, that the shell passes exactly the arguments the program
// is meant to pass, and that the file operations behave as the core relies on.
// Prints "N passed, N failed"; the exit code is the failure count.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "file_system/file_system_win32.h"
#include "main_flow/desktop_folder_win32.h"
#include "main_flow/target_source_win32.h"
#include "messages/help_url.h"
#include "messages/message_box_win32.h"
#include "wipe/progress_window_win32.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool condition, const char* what) {
  if (condition) {
    g_passed += 1;
    return;
  }
  g_failed += 1;
  std::printf("FAILED: %s\n", what);
}

bool SameText(const wchar_t* left, const wchar_t* right) {
  return left != NULL && right != NULL && std::wcscmp(left, right) == 0;
}

void CheckMessageBoxRecord() {
  auto* const kInstance = reinterpret_cast<HINSTANCE>(0x00400000);
  g_instance = kInstance;
  const MSGBOXPARAMSW ok = MessageBoxRecord(L"text", MB_OK);
  Check(ok.cbSize == 40, "message box record is 40 bytes");
  Check(ok.hwndOwner == NULL, "message box has no owner");
  Check(ok.hInstance == kInstance, "message box icon comes from the program's instance");
  Check(SameText(ok.lpszText, L"text"), "message box shows the caller's text");
  Check(SameText(ok.lpszCaption, L"Brelquin"), "message box caption");
  Check(ok.dwStyle == 0x14080, "MB_OK style has user icon, Help and foreground");
  Check(ok.lpszIcon == MAKEINTRESOURCEW(1005), "message box icon is group 1005");
  Check(ok.dwContextHelpId == 0, "no context help id");
  Check(ok.lpfnMsgBoxCallback == OpenHelpLink, "Help calls OpenHelpLink");
  Check(ok.dwLanguageId == 0x0400, "neutral language, default sublanguage");
  const MSGBOXPARAMSW yes_no = MessageBoxRecord(L"question", MB_YESNO);
  Check(yes_no.dwStyle == 0x14084, "MB_YESNO style has user icon, Help and foreground");
}

void CheckProgressDialogIdentifiers() {
  Check(IsEqualGUID(kProgressDialogClsid, CLSID_ProgressDialog), "progress window class id");
  Check(IsEqualGUID(kProgressDialogIid, IID_IProgressDialog), "progress window interface id");
}

void CheckHelpUrl() {
  const wchar_t kScheme[] = L"http://";
  const wchar_t kTail[] = L"/redirect?x=quendrix";
  const size_t length = std::wcslen(kHelpUrl);
  const size_t tail = std::wcslen(kTail);
  Check(std::wcsncmp(kHelpUrl, kScheme, std::wcslen(kScheme)) == 0, "help link is http");
  Check(length > tail && std::wcscmp(kHelpUrl + length - tail, kTail) == 0,
        "help link path and query");
}

void CheckOpenDialogRecord() {
  wchar_t buffer[MAX_PATH] = L"";
  const OPENFILENAMEW record = OpenDialogRecord(buffer);
  const wchar_t kFilter[] = L"All\0*.*\0Text\0*.TXT\0";
  Check(record.lStructSize == 88, "Open dialog record is 88 bytes");
  Check(record.hwndOwner == NULL && record.hInstance == NULL, "no owner, no template instance");
  Check(std::memcmp(record.lpstrFilter, kFilter, sizeof(kFilter)) == 0,
        "filter All *.* then Text *.TXT, ended by an empty string");
  Check(record.lpstrCustomFilter == NULL && record.nMaxCustFilter == 0, "no custom filter");
  Check(record.nFilterIndex == 1, "the All pair is selected");
  Check(record.lpstrFile == buffer && buffer[0] == L'\0', "the empty dialog path buffer");
  Check(record.nMaxFile == 260, "buffer capacity 260");
  Check(record.lpstrFileTitle == NULL && record.nMaxFileTitle == 0, "no file title");
  Check(record.lpstrInitialDir == NULL, "no initial folder");
  Check(SameText(record.lpstrTitle, L"Select a file to nuke ..."), "dialog title");
  Check(record.Flags == 0x02129804, "dialog flags");
  Check(record.nFileOffset == 0 && record.nFileExtension == 0 && record.lpstrDefExt == NULL &&
            record.lCustData == 0 && record.lpfnHook == NULL && record.lpTemplateName == NULL &&
            record.pvReserved == NULL && record.dwReserved == 0 && record.FlagsEx == 0,
        "every other field zero");
}

void WriteWholeFile(const wchar_t* path, const char* content) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  DWORD written = 0;
  WriteFile(file, content, static_cast<DWORD>(std::strlen(content)), &written, NULL);
  CloseHandle(file);
}

void CheckFileSystem(const wchar_t* folder) {
  Win32FileSystem files;
  wchar_t target[MAX_PATH];
  wchar_t copy[MAX_PATH];
  std::swprintf(target, MAX_PATH, L"%ls\\target.bin", folder);
  std::swprintf(copy, MAX_PATH, L"%ls\\copy.bin", folder);
  WriteWholeFile(target, "0123456789");

  FileHandle handle = NULL;
  FileHandle second = NULL;
  Check(!files.OpenExclusive(L"C:\\no\\such\\file.bin", &handle), "a missing file can't be opened");
  Check(!files.OpenExclusive(folder, &handle), "a folder can't be opened");
  Check(files.OpenExclusive(target, &handle), "an existing file opens");
  Check(!files.OpenExclusive(target, &second), "nobody else can open it while it is held");
  int64_t size = -1;
  Check(files.GetSize(handle, &size) && size == 10, "size of the open file");
  const uint8_t kBlock[4] = {'a', 'b', 'c', 'd'};
  uint32_t written = 0;
  Check(files.Write(handle, kBlock, 4, &written) && written == 4, "write reports its count");
  files.Rewind(handle);
  Check(files.Write(handle, kBlock, 2, &written) && written == 2, "write after rewind");
  Check(!files.Delete(target), "an open file can't be deleted");
  files.Close(handle);
  Check(files.Exists(target) && files.Exists(folder), "files and folders exist");

  WriteWholeFile(copy, "mine");
  files.CopyWithoutOverwrite(target, copy);
  char kept[8] = {};
  DWORD read = 0;
  HANDLE file = CreateFileW(copy, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  ReadFile(file, kept, sizeof(kept) - 1, &read, NULL);
  CloseHandle(file);
  Check(std::strcmp(kept, "mine") == 0, "a copy never overwrites");

  Check(files.Delete(target) && !files.Exists(target), "a closed file is deleted");
  Check(files.Delete(copy), "the copy is deleted");
  wchar_t own[MAX_PATH] = L"";
  files.GetOwnPath(own);
  Check(std::wcsstr(own, L"ShellRecordsTest.exe") != NULL, "own path names the running program");
}

void CheckDesktopJoin() {
  Win32DesktopFolder desktop;
  wchar_t joined[MAX_PATH] = L"";
  Check(desktop.Join(joined, L"C:\\Users\\ann\\Desktop", L"Brelquin.exe") &&
            SameText(joined, L"C:\\Users\\ann\\Desktop\\Brelquin.exe"),
        "desktop folder and name are joined");
  wchar_t long_folder[MAX_PATH] = L"C:\\";
  for (int at = 3; at < MAX_PATH - 2; ++at) long_folder[at] = L'd';
  long_folder[MAX_PATH - 2] = L'\0';
  Check(!desktop.Join(joined, long_folder, L"Brelquin.exe"), "a join past MAX_PATH fails");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: ShellRecordsTest <scratch folder, Windows path>\n");
    return 2;
  }
  CheckMessageBoxRecord();
  CheckProgressDialogIdentifiers();
  CheckHelpUrl();
  CheckOpenDialogRecord();
  CheckFileSystem(argv[1]);
  CheckDesktopJoin();
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed;
}
