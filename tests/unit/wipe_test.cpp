#include "wipe/wipe.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace {

// The block size as a byte count, for arithmetic on lengths.
constexpr size_t kBlock = kBlockBytes;

constexpr wchar_t kTarget[] = L"C:\\a.txt";

class WipeTest : public testing::Test {
 protected:
  // Opens a target of `size` bytes of 0xEE, as the main flow would.
  void OpenTarget(size_t size) {
    files.files[kTarget] = Bytes(size, 0xEE);
    ASSERT_TRUE(files.OpenExclusive(kTarget, &handle));
  }

  WipeOutcome Wipe(int64_t size) { return WipeFile(files, handle, size, progress, seeds); }

  const Bytes& Content() { return files.files[kTarget]; }

  CallLog log;
  FakeFileSystem files{log};
  FakeProgressWindow progress{log};
  SeedSource seeds;
  FileHandle handle = nullptr;
};

TEST_F(WipeTest, CoversTheSizeWithWholeBlocksOfTheLastPassStream) {
  struct Case {
    size_t size;
    int blocks_per_pass;
  };
  const Case kCases[] = {{0, 0}, {1, 1}, {16384, 1}, {16385, 2}, {100000, 7}};
  for (const Case& test : kCases) {
    SCOPED_TRACE("size " + std::to_string(test.size));
    log.clear();
    files.write_calls = 0;
    files.rewinds = 0;
    progress = FakeProgressWindow(log);
    seeds = SeedSource();
    OpenTarget(test.size);

    EXPECT_EQ(Wipe(static_cast<int64_t>(test.size)), WipeOutcome::Completed);

    const size_t length = static_cast<size_t>(test.blocks_per_pass) * kBlockBytes;
    EXPECT_EQ(Content(), PassStream(SeedOfPass(9), length));
    EXPECT_EQ(files.write_calls, test.blocks_per_pass * kPassCount);
    EXPECT_EQ(files.rewinds, kPassCount);
    EXPECT_EQ(progress.polls, test.blocks_per_pass * kPassCount);
    files.Close(handle);
  }
}

TEST_F(WipeTest, EveryPassWritesItsOwnSeedsStream) {
  OpenTarget(100);
  // Cancel after the single block of each pass in turn, and look at what that pass left.
  for (int pass = 0; pass < kPassCount; ++pass) {
    progress = FakeProgressWindow(log);
    progress.cancel_at_poll = 1;
    files.files[kTarget] = Bytes(100, 0xEE);
    SeedSource drawn;
    for (int earlier = 0; earlier < pass; ++earlier) NextSeed(drawn);
    EXPECT_EQ(WipeFile(files, handle, 100, progress, drawn), WipeOutcome::Cancelled);
    EXPECT_EQ(Content(), PassStream(SeedOfPass(pass), kBlockBytes)) << "pass " << pass;
    files.Rewind(handle);
  }
}

TEST_F(WipeTest, ShowsEachPassCountedFromZero) {
  OpenTarget(0);
  Wipe(0);
  ASSERT_EQ(progress.lines.size(), static_cast<size_t>(kPassCount));
  for (int pass = 0; pass < kPassCount; ++pass) {
    EXPECT_EQ(progress.lines[pass].line, 1);
    EXPECT_EQ(progress.lines[pass].text, L"Nuking [pass " + std::to_wstring(pass) + L" / 10]");
    EXPECT_FALSE(progress.lines[pass].compact);
  }
}

TEST_F(WipeTest, EmptyFileDrawsTenSeedsButWritesAndPollsNothing) {
  OpenTarget(0);
  EXPECT_EQ(Wipe(0), WipeOutcome::Completed);
  EXPECT_EQ(files.write_calls, 0);
  EXPECT_EQ(progress.polls, 0);
  EXPECT_TRUE(progress.progress.empty());
  EXPECT_TRUE(Content().empty());
  EXPECT_EQ(NextSeed(seeds), SeedOfPass(10)) << "one draw per pass, ten in all";
}

TEST_F(WipeTest, ReportsProgressOfAllTenPassesUnclamped) {
  OpenTarget(100000);
  Wipe(100000);
  ASSERT_EQ(progress.progress.size(), 70u);
  EXPECT_EQ(progress.progress.front(), std::make_pair(uint64_t{16384}, uint64_t{1000000}));
  EXPECT_EQ(progress.progress[6], std::make_pair(uint64_t{114688}, uint64_t{1000000}));
  EXPECT_EQ(progress.progress[7], std::make_pair(uint64_t{116384}, uint64_t{1000000}));
  // The last block runs past the total; the value is passed on as it is.
  EXPECT_EQ(progress.progress.back(), std::make_pair(uint64_t{1014688}, uint64_t{1000000}));
}

TEST_F(WipeTest, ProgressOfFilesBeyondFourGibibytesDoesNotWrap) {
  constexpr int64_t kSize = (int64_t{4} << 30) + 1;
  constexpr int64_t kBlocks = (kSize + kBlockBytes - 1) / kBlockBytes;
  files.counted_size = kSize;
  ASSERT_TRUE(files.OpenExclusive(L"D:\\huge.bin", &handle));
  // Cancel on the first poll of the second pass: one whole pass, then one block.
  progress.cancel_at_poll = static_cast<int>(kBlocks) + 2;

  EXPECT_EQ(Wipe(kSize), WipeOutcome::Cancelled);

  const uint64_t total = static_cast<uint64_t>(kSize) * 10;
  ASSERT_EQ(progress.progress.size(), static_cast<size_t>(kBlocks) + 1);
  EXPECT_EQ(progress.progress[kBlocks - 1],
            std::make_pair(static_cast<uint64_t>(kBlocks * kBlockBytes), total));
  EXPECT_EQ(progress.progress[kBlocks],
            std::make_pair(static_cast<uint64_t>(kSize + kBlockBytes), total));
  EXPECT_EQ(files.counted_length, kBlocks * kBlockBytes);
}

TEST_F(WipeTest, CancelDuringTheFourthPassKeepsThatBlockAndStopsThere) {
  constexpr size_t kSize = 3 * kBlock;
  OpenTarget(kSize);
  // Three blocks a pass: the second block of pass 3 is the 11th write and poll.
  progress.cancel_at_poll = 3 * 3 + 2;

  EXPECT_EQ(Wipe(kSize), WipeOutcome::Cancelled);

  EXPECT_EQ(files.write_calls, 11);
  EXPECT_EQ(files.rewinds, 3) << "no rewind after a cancel";
  EXPECT_EQ(progress.progress.size(), 10u) << "no progress for the block polled as cancelled";
  EXPECT_EQ(progress.lines.back().text, L"Nuking [pass 3 / 10]");
  Bytes expected = PassStream(SeedOfPass(3), 2 * kBlock);
  const Bytes previous = PassStream(SeedOfPass(2), kSize);
  expected.insert(expected.end(), previous.begin() + 2 * kBlock, previous.end());
  EXPECT_EQ(Content(), expected);
  EXPECT_EQ(log.back(), "Poll") << "nothing after the poll that said Cancel";
}

TEST_F(WipeTest, FailedWritesEndTheWipeAtOnce) {
  struct Case {
    const char* name;
    int faulty_write;
    WriteFault fault;
    size_t progress_values;
    int rewinds;
  };
  // 20,000 bytes: two blocks a pass.
  const Case kCases[] = {
      {"first write fails", 0, {WriteFault::kFail, 0}, 0, 0},
      {"write in pass 2 fails", 5, {WriteFault::kFail, 0}, 5, 2},
      {"first write writes nothing", 0, {WriteFault::kZero, 0}, 0, 0},
      {"write in pass 9 writes nothing", 19, {WriteFault::kZero, 0}, 19, 9},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    log.clear();
    files = FakeFileSystem(log);
    progress = FakeProgressWindow(log);
    seeds = SeedSource();
    OpenTarget(20000);
    files.write_faults[test.faulty_write] = test.fault;

    EXPECT_EQ(Wipe(20000), WipeOutcome::WriteFailed);

    EXPECT_EQ(files.write_calls, test.faulty_write + 1);
    EXPECT_EQ(progress.progress.size(), test.progress_values);
    EXPECT_EQ(progress.polls, test.faulty_write) << "no poll after a failed write";
    EXPECT_EQ(files.rewinds, test.rewinds);
  }
}

TEST_F(WipeTest, ShortWriteCountsOnlyWhatWasWrittenAndTheStreamGoesOn) {
  OpenTarget(kBlockBytes);
  files.write_faults[0] = WriteFault{WriteFault::kShort, 100};

  EXPECT_EQ(Wipe(kBlockBytes), WipeOutcome::Completed);

  // Pass 0: 100 bytes of its first block, then its whole second block right behind them.
  ASSERT_GE(progress.progress.size(), 2u);
  EXPECT_EQ(progress.progress[0].first, 100u);
  EXPECT_EQ(progress.progress[1].first, 100u + kBlockBytes);
  EXPECT_EQ(files.write_calls, 2 + 9);
  // Passes 1 to 9 wrote one whole block each over the front; the tail is pass 0's.
  Bytes expected = PassStream(SeedOfPass(9), kBlockBytes);
  const Bytes first_pass = PassStream(SeedOfPass(0), 2 * kBlock);
  expected.insert(expected.end(), first_pass.end() - 100, first_pass.end());
  EXPECT_EQ(Content(), expected);
}

}  // namespace
