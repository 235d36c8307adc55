#include "main_flow/main_flow.h"

#include <cstdint>

#include "main_flow/desktop_copy.h"
#include "messages/text.h"
#include "wipe/wipe.h"

namespace {

constexpr wchar_t kCantOpenText[] = L"Can't open this file.";
constexpr wchar_t kConfirmationQuestion[] = L"Do you really want to nuke this file ?\n\n\"";
constexpr wchar_t kConfirmationWarning[] =
    L"\" ?\n\nA nuked file will be removed permanently and can't be restored using file recovery "
    L"tools.";
constexpr wchar_t kNukingText[] = L"Nuking ...";
constexpr wchar_t kProgressTitle[] = L"Brel-Quin";
constexpr wchar_t kSizeErrorFormat[] = L"Could not get file size. Error %i.";
constexpr wchar_t kWriteFailedText[] = L"IO ERROR";
constexpr wchar_t kCancelledText[] = L"Mission aborted";
constexpr wchar_t kUnlinkingText[] = L"Unlinking ...";
constexpr wchar_t kUnlinkFailedText[] =
    L"Could not unlink file system entry.\nFile contents successfully destroyed.";
constexpr wchar_t kReadyText[] = L"Ready.";
constexpr wchar_t kDestroyedText[] = L"Target successfully destroyed and removed.";

static_assert(kConfirmationChars >= sizeof(kConfirmationQuestion) / sizeof(wchar_t) +
                                        kLongestPathChars +
                                        sizeof(kConfirmationWarning) / sizeof(wchar_t),
              "the confirmation must hold the longest path whole");

// The first argument, or null when there is none (or it is empty) and the user must pick.
const wchar_t* TargetFromCommandLine(TargetSource& target_source) {
  int count = 0;
  const wchar_t* const* arguments = target_source.SplitCommandLine(&count);
  if (arguments == nullptr || count < 2) return nullptr;
  if (arguments[1] == nullptr || arguments[1][0] == L'\0') return nullptr;
  return arguments[1];
}

bool UserConfirms(Messages& messages, const wchar_t* path) {
  // Big enough for any path a command line can carry; kept off the heap.
  wchar_t text[kConfirmationChars];
  // A question that can't show the whole path is never asked: no is the safe answer.
  if (!ComposeConfirmation(path, text, kConfirmationChars)) return false;
  return messages.ShowMessage(text, MessageButtons::kYesNo) == MessageAnswer::kYes;
}

ProgressWindow& ShowProgressWindow(ProgressWindows& progress_windows, const wchar_t* path) {
  // When the shell can't create the window the user has already confirmed, so the wipe
  // goes on, unseen and without a Cancel button.
  static AbsentProgressWindow absent;
  ProgressWindow* progress = progress_windows.Create();
  if (progress == nullptr) return absent;
  progress->SetLine(kStatusLine, kNukingText, false);
  // Compact: a long path is shortened to fit the line rather than cut off.
  progress->SetLine(kPathLine, path, true);
  progress->SetTitle(kProgressTitle);
  progress->Start();
  return *progress;
}

void ReportSizeFailure(FileSystem& files, Messages& messages) {
  wchar_t text[kShortTextChars];
  FormatText(text, kSizeErrorFormat, {files.LastError()});
  messages.ShowMessage(text, MessageButtons::kOk);
}

}  // namespace

bool ComposeConfirmation(const wchar_t* path, wchar_t* text, size_t capacity) {
  TextBuilder builder = StartText(text, capacity);
  AppendText(builder, kConfirmationQuestion);
  AppendText(builder, path);
  AppendText(builder, kConfirmationWarning);
  return !builder.cut;
}

int RunMainFlow(const Platform& platform) {
  FileSystem& files = platform.files;
  Messages& messages = platform.messages;
  platform.progress_windows.InitializeCom();

  wchar_t dialog_path[kMaxPath] = {};
  const wchar_t* path = TargetFromCommandLine(platform.target_source);
  if (path == nullptr) {
    if (!platform.target_source.AskForTargetPath(dialog_path)) return kExitIoError;
    path = dialog_path;
  }

  FileHandle handle = nullptr;
  if (!files.OpenExclusive(path, &handle)) {
    messages.ShowMessage(kCantOpenText, MessageButtons::kOk);
    return kExitFailed;
  }
  // The file stays open, and so locked against everyone else, while the user decides.
  if (!UserConfirms(messages, path)) {
    files.Close(handle);
    return kExitOk;
  }

  ProgressWindow& progress = ShowProgressWindow(platform.progress_windows, path);
  int64_t size = 0;
  if (!files.GetSize(handle, &size)) {
    ReportSizeFailure(files, messages);
    return kExitFailed;
  }

  // Never reseeded from anything that varies: every run writes the same ten streams.
  SeedSource seeds;
  const WipeOutcome outcome = WipeFile(files, handle, size, progress, seeds);
  if (outcome == WipeOutcome::WriteFailed) {
    progress.Stop();
    messages.ShowMessage(kWriteFailedText, MessageButtons::kOk);
    return kExitIoError;
  }
  if (outcome == WipeOutcome::Cancelled) {
    progress.Stop();
    messages.ShowMessage(kCancelledText, MessageButtons::kOk);
    return kExitFailed;
  }

  progress.SetLine(kStatusLine, kUnlinkingText, false);
  // Closed first: the file can't be deleted while this handle holds it.
  files.Close(handle);
  const bool deleted = files.Delete(path);
  if (!deleted) messages.ShowMessage(kUnlinkFailedText, MessageButtons::kOk);
  progress.SetLine(kStatusLine, kReadyText, false);
  progress.Stop();
  progress.Release();
  if (deleted) messages.ShowMessage(kDestroyedText, MessageButtons::kOk);

  OfferDesktopCopy(files, messages, platform.desktop);
  return kExitOk;
}
