#include "wipe/progress_window_win32.h"

void Win32ProgressWindow::SetLine(int line, const wchar_t* text, bool compact) {
  dialog_->SetLine(line, text, compact ? TRUE : FALSE, NULL);
}

void Win32ProgressWindow::SetTitle(const wchar_t* text) { dialog_->SetTitle(text); }

void Win32ProgressWindow::Start() {
  // No parent: the program has no window of its own. The call returns at once.
  dialog_->StartProgressDialog(NULL, NULL, PROGDLG_AUTOTIME, NULL);
}

void Win32ProgressWindow::SetProgress(uint64_t completed, uint64_t total) {
  dialog_->SetProgress64(completed, total);
}

bool Win32ProgressWindow::HasUserCancelled() { return dialog_->HasUserCancelled() != FALSE; }

void Win32ProgressWindow::Stop() { dialog_->StopProgressDialog(); }

void Win32ProgressWindow::Release() { dialog_->Release(); }

void Win32ProgressWindows::InitializeCom() { CoInitialize(NULL); }

ProgressWindow* Win32ProgressWindows::Create() {
  IProgressDialog* dialog = NULL;
  const HRESULT result = CoCreateInstance(kProgressDialogClsid, NULL, CLSCTX_INPROC_SERVER,
                                          kProgressDialogIid, reinterpret_cast<void**>(&dialog));
  if (FAILED(result) || dialog == NULL) return nullptr;
  window_.Attach(dialog);
  return &window_;
}
