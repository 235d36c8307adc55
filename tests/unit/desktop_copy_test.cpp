#include "main_flow/desktop_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fakes.h"

namespace {

const std::wstring kCandidate = L"C:\\Users\\ann\\Desktop\\Brelquin.exe";
const std::wstring kOwnPath = L"C:\\Tools\\brelquin-1.0.exe";
const Bytes kProgram = {'M', 'Z', 0x90, 0x00};

class DesktopCopyTest : public testing::Test {
 protected:
  DesktopCopyTest() {
    world.files.own_path = kOwnPath;
    world.files.files[kOwnPath] = kProgram;
  }

  void Offer() { OfferDesktopCopy(world.files, world.messages, world.desktop); }

  bool Asked() const {
    const std::vector<ShownMessage>& shown = world.messages.shown;
    return std::any_of(shown.begin(), shown.end(), [](const ShownMessage& message) {
      return message.text == L"Do you want to copy Brelquin to your desktop ?" &&
             message.buttons == MessageButtons::kYesNo;
    });
  }

  FakeWorld world;
};

TEST_F(DesktopCopyTest, YesCopiesTheRunningProgramUnderTheFixedName) {
  world.messages.answers = {MessageAnswer::kYes};
  Offer();
  EXPECT_TRUE(Asked());
  ASSERT_EQ(world.files.copies.size(), 1u);
  EXPECT_EQ(world.files.copies[0], std::make_pair(kOwnPath, kCandidate));
  EXPECT_EQ(world.files.files[kCandidate], kProgram);
}

TEST_F(DesktopCopyTest, NoCopiesNothingAndTheNextRunAsksAgain) {
  Offer();
  EXPECT_TRUE(Asked());
  EXPECT_TRUE(world.files.copies.empty());
  world.messages.shown.clear();
  Offer();
  EXPECT_TRUE(Asked());
  EXPECT_EQ(world.files.files.count(kCandidate), 0u);
}

TEST_F(DesktopCopyTest, NoQuestionWhenTheNameIsTakenOrThereIsNowhereToPutIt) {
  struct Case {
    const char* name;
    void (*arrange)(FakeWorld&);
  };
  const Case kCases[] = {
      {"a file of that name",
       [](FakeWorld& w) {
         w.files.files[kCandidate] = {'m', 'i', 'n', 'e'};
       }},
      {"a folder of that name", [](FakeWorld& w) { w.files.folders.insert(kCandidate); }},
      {"no desktop folder", [](FakeWorld& w) { w.desktop.available = false; }},
      {"folder and name don't fit a path",
       [](FakeWorld& w) { w.desktop.folder = L"C:\\" + std::wstring(250, L'd'); }},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    world.messages.shown.clear();
    world.files.files.erase(kCandidate);
    world.files.folders.clear();
    world.desktop = FakeDesktopFolder(world.log);
    test.arrange(world);
    const Bytes before =
        world.files.files.count(kCandidate) ? world.files.files[kCandidate] : Bytes();
    world.messages.answers = {MessageAnswer::kYes};

    Offer();

    EXPECT_FALSE(Asked());
    EXPECT_TRUE(world.files.copies.empty());
    if (!before.empty()) {
      EXPECT_EQ(world.files.files[kCandidate], before) << "left as it was";
    }
  }
}

}  // namespace
