#include "wipe/wipe.h"

#include "messages/text.h"

namespace {

constexpr wchar_t kPassLineFormat[] = L"Nuking [pass %i / %i]";

void ShowPassLine(ProgressWindow& progress, int pass) {
  wchar_t line[kShortTextChars];
  FormatText(line, kPassLineFormat, {pass, kPassCount});
  progress.SetLine(kStatusLine, line, false);
}

// Writes blocks from the current position until `size` bytes are reported written.
WipeOutcome WritePass(FileSystem& files, FileHandle handle, int64_t size, int pass,
                      ProgressWindow& progress, PatternStream& stream) {
  uint8_t block[kBlockBytes];
  // Unsigned, so that sizes beyond 4 GiB (and the running total past the end) never overflow.
  const uint64_t total = static_cast<uint64_t>(size) * kPassCount;
  const uint64_t pass_start = static_cast<uint64_t>(size) * static_cast<uint64_t>(pass);
  int64_t written = 0;
  while (written < size) {
    FillBlock(stream, block);
    uint32_t count = 0;
    if (!files.Write(handle, block, kBlockBytes, &count)) return WipeOutcome::WriteFailed;
    // A write that succeeds without writing anything would otherwise repeat forever.
    if (count == 0) return WipeOutcome::WriteFailed;
    written += count;
    if (progress.HasUserCancelled()) return WipeOutcome::Cancelled;
    progress.SetProgress(pass_start + static_cast<uint64_t>(written), total);
  }
  return WipeOutcome::Completed;
}

}  // namespace

WipeOutcome WipeFile(FileSystem& files, FileHandle handle, int64_t size, ProgressWindow& progress,
                     SeedSource& seeds) {
  for (int pass = 0; pass < kPassCount; ++pass) {
    ShowPassLine(progress, pass);
    // Drawn on every pass, also for an empty file, so the seeds never shift.
    PatternStream stream{NextSeed(seeds)};
    if (size > 0) {
      const WipeOutcome outcome = WritePass(files, handle, size, pass, progress, stream);
      if (outcome != WipeOutcome::Completed) return outcome;
    }
    files.Rewind(handle);
  }
  return WipeOutcome::Completed;
}
