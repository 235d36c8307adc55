#include "messages/text.h"

namespace {

void AppendCharacter(TextBuilder& builder, wchar_t character) {
  if (builder.length + 1 >= builder.capacity) {
    builder.cut = true;
    return;
  }
  builder.text[builder.length] = character;
  builder.length += 1;
  builder.text[builder.length] = L'\0';
}

}  // namespace

TextBuilder StartText(wchar_t* buffer, size_t capacity) {
  if (capacity > 0) buffer[0] = L'\0';
  return TextBuilder{buffer, capacity, 0, capacity == 0};
}

void AppendText(TextBuilder& builder, const wchar_t* piece) {
  for (; *piece != L'\0'; ++piece) AppendCharacter(builder, *piece);
}

void AppendDecimal(TextBuilder& builder, int32_t value) {
  // Widened first, so that the most negative value has a magnitude too.
  int64_t magnitude = value;
  if (magnitude < 0) {
    AppendCharacter(builder, L'-');
    magnitude = -magnitude;
  }
  wchar_t digits[10];
  int count = 0;
  do {
    digits[count] = static_cast<wchar_t>(L'0' + magnitude % 10);
    count += 1;
    magnitude /= 10;
  } while (magnitude > 0);
  while (count > 0) {
    count -= 1;
    AppendCharacter(builder, digits[count]);
  }
}

void FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format,
                std::initializer_list<int32_t> values) {
  TextBuilder builder = StartText(buffer, capacity);
  const int32_t* value = values.begin();
  for (const wchar_t* at = format; *at != L'\0'; ++at) {
    if (at[0] == L'%' && at[1] == L'i' && value != values.end()) {
      AppendDecimal(builder, *value);
      ++value;
      ++at;
      continue;
    }
    AppendCharacter(builder, *at);
  }
}
