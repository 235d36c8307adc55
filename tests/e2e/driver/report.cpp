#include "report.h"

#include <windows.h>

#include <cstdio>

namespace {

void AddKey(JsonObject& object, const char* key) {
  if (!object.members.empty()) object.members += ",";
  object.members += "\"";
  object.members += key;
  object.members += "\":";
}

std::string JsonString(const std::wstring& text) {
  std::string json = "\"";
  for (wchar_t character : text) {
    const unsigned code = static_cast<unsigned short>(character);
    if (code == '"' || code == '\\') {
      json += '\\';
      json += static_cast<char>(code);
    } else if (code >= 0x20 && code < 0x7F) {
      json += static_cast<char>(code);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", code);
      json += escape;
    }
  }
  return json + "\"";
}

}  // namespace

void AddString(JsonObject& object, const char* key, const std::wstring& value) {
  AddKey(object, key);
  object.members += JsonString(value);
}

void AddNumber(JsonObject& object, const char* key, long long value) {
  AddKey(object, key);
  object.members += std::to_string(value);
}

void AddBool(JsonObject& object, const char* key, bool value) {
  AddKey(object, key);
  object.members += value ? "true" : "false";
}

void AddJson(JsonObject& object, const char* key, const std::string& value) {
  AddKey(object, key);
  object.members += value;
}

std::string CloseObject(const JsonObject& object) { return "{" + object.members + "}"; }

void PrintLine(const char* step, const JsonObject& object) {
  // Written straight to the handle, unbuffered: the harness acts on each line as it comes.
  const std::string line = std::string(step) + " " + CloseObject(object) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            NULL);
}
