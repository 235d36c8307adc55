#pragma once

#include <cstdint>

constexpr int kBlockWords = 4096;
constexpr int kBlockBytes = kBlockWords * 4;

// The Windows runtime's rand generator with its default starting state. Nothing that
// varies ever seeds it, so every run draws the same seeds in the same order.
struct SeedSource {
  uint32_t state = 1;
};

// A value from 0 to 32767.
uint32_t NextSeed(SeedSource& source);

// The word stream of one pass, carried on unbroken from block to block.
struct PatternStream {
  uint32_t state;
};

// Fills the block with the next kBlockWords words, each stored least significant byte first.
void FillBlock(PatternStream& stream, uint8_t (&block)[kBlockBytes]);
