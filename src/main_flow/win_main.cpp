#include <windows.h>

#include "file_system/file_system_win32.h"
#include "main_flow/desktop_folder_win32.h"
#include "main_flow/main_flow.h"
#include "main_flow/target_source_win32.h"
#include "messages/message_box_win32.h"
#include "wipe/progress_window_win32.h"

// The ANSI command line is ignored: the target's path is read again in its wide form.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_instance = instance;
  Win32TargetSource target_source;
  Win32ProgressWindows progress_windows;
  Win32FileSystem files;
  Win32Messages messages;
  Win32DesktopFolder desktop;
  const Platform platform{target_source, progress_windows, files, messages, desktop};
  return RunMainFlow(platform);
}
