#pragma once

#include <string>

// What the driver saw, one line per step on stdout: the step's name, a space and a JSON
// object. Plain ASCII: every other character is written as a \u escape, so the harness
// reads the exact UTF-16 text whatever the console's code page is.
struct JsonObject {
  std::string members;
};

void AddString(JsonObject& object, const char* key, const std::wstring& value);
void AddNumber(JsonObject& object, const char* key, long long value);
void AddBool(JsonObject& object, const char* key, bool value);
// value is already JSON (an array or an object).
void AddJson(JsonObject& object, const char* key, const std::string& value);
std::string CloseObject(const JsonObject& object);
void PrintLine(const char* step, const JsonObject& object);
