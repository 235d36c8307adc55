#include "main_flow/desktop_copy.h"

namespace {

constexpr wchar_t kDesktopQuestion[] = L"Do you want to copy Brelquin to your desktop ?";

}  // namespace

void OfferDesktopCopy(FileSystem& files, Messages& messages, DesktopFolder& desktop) {
  wchar_t folder[kMaxPath] = {};
  wchar_t candidate[kMaxPath] = {};
  wchar_t own_path[kMaxPath] = {};
  if (!desktop.GetPath(folder)) return;
  // A join that doesn't fit leaves no usable path; asking would copy to an undefined place.
  if (!desktop.Join(candidate, folder, kDesktopCopyName)) return;
  // Anything already under the name, file or folder, is the user's and stays as it is.
  if (files.Exists(candidate)) return;
  if (messages.ShowMessage(kDesktopQuestion, MessageButtons::kYesNo) != MessageAnswer::kYes) return;
  files.GetOwnPath(own_path);
  files.CopyWithoutOverwrite(own_path, candidate);
}
