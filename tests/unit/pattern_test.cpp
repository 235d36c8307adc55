#include "wipe/pattern.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace {

// The block size as a byte count, for arithmetic on lengths.
constexpr size_t kBlock = kBlockBytes;

TEST(SeedSourceTest, DrawsTheRuntimeSequenceFromItsFirstState) {
  const uint32_t kExpected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  SeedSource seeds;
  for (uint32_t expected : kExpected) EXPECT_EQ(NextSeed(seeds), expected);
}

TEST(SeedSourceTest, StaysWithinFifteenBits) {
  SeedSource seeds;
  for (int draw = 0; draw < 100000; ++draw) ASSERT_LE(NextSeed(seeds), 32767u);
}

TEST(FillBlockTest, FirstPassBeginsWithTheKnownBytes) {
  const uint8_t kExpected[] = {0x48, 0x82, 0xAC, 0x00, 0xEB, 0x37, 0x94, 0x57,
                               0x02, 0x63, 0x05, 0x00, 0xBD, 0xFD, 0x68, 0x97};
  PatternStream stream{41};
  uint8_t block[kBlockBytes];
  FillBlock(stream, block);
  EXPECT_EQ(Bytes(block, block + 16), Bytes(kExpected, kExpected + 16));
}

TEST(FillBlockTest, CarriesTheStreamFromBlockToBlock) {
  const uint32_t kSeeds[] = {0, 41, 24464, 0xFFFFFFFF};
  for (uint32_t seed : kSeeds) {
    PatternStream stream{seed};
    uint8_t first[kBlockBytes];
    uint8_t second[kBlockBytes];
    FillBlock(stream, first);
    FillBlock(stream, second);
    Bytes written(first, first + kBlockBytes);
    written.insert(written.end(), second, second + kBlockBytes);
    EXPECT_EQ(written, PassStream(seed, 2 * kBlock)) << "seed " << seed;
  }
}

}  // namespace
