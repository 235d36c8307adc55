#pragma once

enum class MessageButtons { kOk, kYesNo };

// The callers only ever ask whether the answer was Yes.
enum class MessageAnswer { kYes, kOther };

// The one message box every message goes through. The Win32 side is message_box_win32.cpp.
class Messages {
 public:
  virtual MessageAnswer ShowMessage(const wchar_t* text, MessageButtons buttons) = 0;

 protected:
  ~Messages() = default;
};
