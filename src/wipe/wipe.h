#pragma once

#include <cstdint>

#include "file_system/file_system.h"
#include "wipe/pattern.h"
#include "wipe/progress_window.h"

constexpr int kPassCount = 10;

enum class WipeOutcome { Completed, Cancelled, WriteFailed };

// Overwrites the first `size` bytes of the open file kPassCount times with the word
// stream, in whole blocks, rewinding after every pass. It never closes, deletes or reports.
WipeOutcome WipeFile(FileSystem& files, FileHandle handle, int64_t size, ProgressWindow& progress,
                     SeedSource& seeds);
