#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Room for any one-line status or error text the program formats.
constexpr size_t kShortTextChars = 128;

// A text being built into a fixed buffer. It never runs past the buffer and is
// always terminated; `cut` tells whether anything had to be left out.
struct TextBuilder {
  wchar_t* text;
  size_t capacity;
  size_t length;
  bool cut;
};

TextBuilder StartText(wchar_t* buffer, size_t capacity);
void AppendText(TextBuilder& builder, const wchar_t* piece);
void AppendDecimal(TextBuilder& builder, int32_t value);

// Formats a text whose only conversions are %i (a signed decimal), filled in order.
void FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format,
                std::initializer_list<int32_t> values);

template <size_t kChars>
void FormatText(wchar_t (&buffer)[kChars], const wchar_t* format,
                std::initializer_list<int32_t> values) {
  FormatText(buffer, kChars, format, values);
}
