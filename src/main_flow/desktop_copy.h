#pragma once

#include "file_system/file_system.h"
#include "main_flow/platform.h"
#include "messages/messages.h"

// The name the copy always bears on the desktop, whatever the running file is called.
constexpr wchar_t kDesktopCopyName[] = L"Brelquin.exe";

// Asks once to put a copy of the program on the desktop, unless that name is taken there.
void OfferDesktopCopy(FileSystem& files, Messages& messages, DesktopFolder& desktop);
