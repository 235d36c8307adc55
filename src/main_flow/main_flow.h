#pragma once

#include <cstddef>

#include "main_flow/platform.h"

// The process's exit codes.
constexpr int kExitOk = 0;        // wiped (deleted or not), or the user said No
constexpr int kExitFailed = -1;   // can't open, can't read the size, or cancelled
constexpr int kExitIoError = -2;  // a block write failed, or no file was chosen

// The longest path a command line can carry: the whole line is at most this long.
constexpr size_t kLongestPathChars = 32767;

// Room for the confirmation question around the longest path.
constexpr size_t kConfirmationChars = kLongestPathChars + 256;

// The whole confirmation question for the path; false if the buffer could not hold it.
bool ComposeConfirmation(const wchar_t* path, wchar_t* text, size_t capacity);

// The whole run, from choosing the target to the exit code.
int RunMainFlow(const Platform& platform);
