#pragma once

#include "file_system/file_system.h"
#include "messages/messages.h"
#include "wipe/progress_window.h"

// Where the target's path comes from: the command line, or else the Open dialog.
class TargetSource {
 public:
  // The split wide command line, or null with a count of 0 when it can't be split.
  virtual const wchar_t* const* SplitCommandLine(int* count) = 0;
  // Shows the Open dialog; true once the user has chosen an existing file, whose full
  // path is then in the buffer of kMaxPath characters.
  virtual bool AskForTargetPath(wchar_t* buffer) = 0;

 protected:
  ~TargetSource() = default;
};

// COM and the shell's progress window, the one thing the program uses COM for.
class ProgressWindows {
 public:
  virtual void InitializeCom() = 0;
  // The progress window, not yet shown; null when it can't be created.
  virtual ProgressWindow* Create() = 0;

 protected:
  ~ProgressWindows() = default;
};

// The user's desktop folder, for the offer of a copy of the program.
class DesktopFolder {
 public:
  // The folder's path into a buffer of kMaxPath characters; false when there is none.
  virtual bool GetPath(wchar_t* buffer) = 0;
  // Joins folder and name into a buffer of kMaxPath characters; false when they don't fit.
  virtual bool Join(wchar_t* joined, const wchar_t* folder, const wchar_t* name) = 0;

 protected:
  ~DesktopFolder() = default;
};

// Everything outside the program that a run reaches.
struct Platform {
  TargetSource& target_source;
  ProgressWindows& progress_windows;
  FileSystem& files;
  Messages& messages;
  DesktopFolder& desktop;
};
