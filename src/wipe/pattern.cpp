#include "wipe/pattern.h"

namespace {

constexpr uint32_t kMultiplier = 214013;
constexpr uint32_t kIncrement = 2531011;

uint32_t Step(uint32_t state) { return state * kMultiplier + kIncrement; }

}  // namespace

uint32_t NextSeed(SeedSource& source) {
  source.state = Step(source.state);
  return (source.state >> 16) & 0x7FFF;
}

void FillBlock(PatternStream& stream, uint8_t (&block)[kBlockBytes]) {
  uint32_t state = stream.state;
  for (int word = 0; word < kBlockWords; ++word) {
    state = Step(state);
    // Spelled out byte by byte so the file holds the same bytes whatever the host's order.
    block[word * 4 + 0] = static_cast<uint8_t>(state);
    block[word * 4 + 1] = static_cast<uint8_t>(state >> 8);
    block[word * 4 + 2] = static_cast<uint8_t>(state >> 16);
    block[word * 4 + 3] = static_cast<uint8_t>(state >> 24);
  }
  stream.state = state;
}
