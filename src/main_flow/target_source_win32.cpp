#include "main_flow/target_source_win32.h"

#include <shellapi.h>

namespace {

// Pairs of name and pattern, each ended by a NUL; the literal's own NUL ends the list.
constexpr wchar_t kFilter[] = L"All\0*.*\0Text\0*.TXT\0";
constexpr wchar_t kDialogTitle[] = L"Select a file to nuke ...";
// Without dereferencing, a shortcut the user picks is itself the target, not what it
// points to; and a file about to be destroyed has no place in the recent documents.
constexpr DWORD kDialogFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                               OFN_NOREADONLYRETURN | OFN_NONETWORKBUTTON | OFN_NODEREFERENCELINKS |
                               OFN_DONTADDTORECENT;

}  // namespace

OPENFILENAMEW OpenDialogRecord(wchar_t* buffer) {
  OPENFILENAMEW record = {};
  record.lStructSize = sizeof(record);
  record.hwndOwner = NULL;
  record.lpstrFilter = kFilter;
  record.nFilterIndex = 1;
  record.lpstrFile = buffer;
  record.nMaxFile = MAX_PATH;
  record.lpstrFileTitle = NULL;
  record.nMaxFileTitle = 0;
  record.lpstrInitialDir = NULL;
  record.lpstrTitle = kDialogTitle;
  record.Flags = kDialogFlags;
  return record;
}

const wchar_t* const* Win32TargetSource::SplitCommandLine(int* count) {
  *count = 0;
  // Never freed: the path it yields is used until the process ends.
  return CommandLineToArgvW(GetCommandLineW(), count);
}

bool Win32TargetSource::AskForTargetPath(wchar_t* buffer) {
  buffer[0] = L'\0';
  OPENFILENAMEW record = OpenDialogRecord(buffer);
  return GetOpenFileNameW(&record) != FALSE;
}
