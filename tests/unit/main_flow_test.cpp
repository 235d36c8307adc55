#include "main_flow/main_flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "fakes.h"

namespace {

constexpr wchar_t kTarget[] = L"C:\\a.txt";
const Bytes kOriginal = {'t', 'o', 'p', ' ', 's', 'e', 'c', 'r', 'e', 't'};

const std::wstring kCantOpen = L"Can't open this file.";
const std::wstring kIoError = L"IO ERROR";
const std::wstring kAborted = L"Mission aborted";
const std::wstring kUnlinkFailed =
    L"Could not unlink file system entry.\nFile contents successfully destroyed.";
const std::wstring kDestroyed = L"Target successfully destroyed and removed.";
const std::wstring kDesktopQuestion = L"Do you want to copy Brelquin to your desktop ?";

std::wstring Confirmation(const std::wstring& path) {
  return L"Do you really want to nuke this file ?\n\n\"" + path +
         L"\" ?\n\nA nuked file will be removed permanently and can't be restored using file "
         L"recovery tools.";
}

class MainFlowTest : public testing::Test {
 protected:
  MainFlowTest() { Reset(); }

  // A fresh world holding the target, named as the first argument.
  void Reset() {
    owned_world_ = std::make_unique<FakeWorld>();
    world = owned_world_.get();
    world->target_source.arguments = {L"Brelquin.exe", kTarget};
    world->files.files[kTarget] = kOriginal;
  }

  int Run() { return RunMainFlow(world->platform); }

  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const ShownMessage& message : world->messages.shown) texts.push_back(message.text);
    return texts;
  }

  // The log without the wipe's own traffic, which the wipe tests cover.
  CallLog Steps() const {
    CallLog steps;
    for (const std::string& call : world->log) {
      if (call == "Write" || call == "Poll" || call == "Rewind" ||
          call.rfind("SetLine 1 Nuking [", 0) == 0)
        continue;
      steps.push_back(call);
    }
    return steps;
  }

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(world->log.begin(), world->log.end(), call));
  }

  bool Logged(const std::string& call) const { return Count(call) > 0; }

  std::unique_ptr<FakeWorld> owned_world_;
  FakeWorld* world = nullptr;
};

// Every road through a run: what the user is told, the exit code and what remains.
TEST_F(MainFlowTest, EveryRoadEndsWithItsMessagesExitCodeAndFile) {
  enum Remains { kUntouched, kOverwritten, kGone };
  struct Road {
    const char* name;
    void (*arrange)(FakeWorld&);
    int exit_code;
    std::vector<std::wstring> texts;
    Remains remains;
    int closes;
  };
  const Road kRoads[] = {
      {"can't open",
       [](FakeWorld& w) { w.files.unopenable.insert(kTarget); },
       -1,
       {kCantOpen},
       kUntouched,
       0},
      {"No at the confirmation", [](FakeWorld&) {}, 0, {Confirmation(kTarget)}, kUntouched, 1},
      {"size can't be read",
       [](FakeWorld& w) {
         w.messages.answers = {MessageAnswer::kYes};
         w.files.size_fails = true;
         w.files.last_error = 5;
       },
       -1,
       {Confirmation(kTarget), L"Could not get file size. Error 5."},
       kUntouched,
       0},
      {"write fails",
       [](FakeWorld& w) {
         w.messages.answers = {MessageAnswer::kYes};
         w.files.write_faults[3] = WriteFault{WriteFault::kFail, 0};
       },
       -2,
       {Confirmation(kTarget), kIoError},
       kOverwritten,
       0},
      {"cancelled",
       [](FakeWorld& w) {
         w.messages.answers = {MessageAnswer::kYes};
         w.progress_windows.window.cancel_at_poll = 4;
       },
       -1,
       {Confirmation(kTarget), kAborted},
       kOverwritten,
       0},
      {"deletion fails",
       [](FakeWorld& w) {
         w.messages.answers = {MessageAnswer::kYes};
         w.files.undeletable.insert(kTarget);
       },
       0,
       {Confirmation(kTarget), kUnlinkFailed, kDesktopQuestion},
       kOverwritten,
       1},
      {"completed",
       [](FakeWorld& w) { w.messages.answers = {MessageAnswer::kYes}; },
       0,
       {Confirmation(kTarget), kDestroyed, kDesktopQuestion},
       kGone,
       1},
  };
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    Reset();
    road.arrange(*world);

    EXPECT_EQ(Run(), road.exit_code);

    EXPECT_EQ(Texts(), road.texts);
    for (const ShownMessage& message : world->messages.shown) {
      const bool question =
          message.text == Confirmation(kTarget) || message.text == kDesktopQuestion;
      EXPECT_EQ(message.buttons, question ? MessageButtons::kYesNo : MessageButtons::kOk);
    }
    EXPECT_EQ(Count("Close"), road.closes);
    const bool present = world->files.files.count(kTarget) != 0;
    EXPECT_EQ(present, road.remains != kGone);
    if (road.remains == kUntouched) {
      EXPECT_EQ(world->files.files[kTarget], kOriginal);
    }
    if (road.remains == kOverwritten) {
      EXPECT_NE(world->files.files[kTarget], kOriginal);
    }
    EXPECT_EQ(Count("InitializeCom"), 1);
  }
}

TEST_F(MainFlowTest, CompletedRoadRunsTheStepsInOrder) {
  world->messages.answers = {MessageAnswer::kYes};
  EXPECT_EQ(Run(), 0);
  const CallLog expected = {
      "InitializeCom",
      "SplitCommandLine",
      "Open C:\\a.txt",
      "Message " + Narrow(Confirmation(kTarget)),
      "CreateProgress",
      "SetLine 1 Nuking ...",
      "SetLine 2 C:\\a.txt",
      "SetTitle Brel-Quin",
      "Start",
      "GetSize",
      "SetLine 1 Unlinking ...",
      "Close",
      "Delete C:\\a.txt",
      "SetLine 1 Ready.",
      "Stop",
      "Release",
      "Message Target successfully destroyed and removed.",
      "DesktopFolder",
      "Join",
      "Exists C:\\Users\\ann\\Desktop\\Brelquin.exe",
      "Message Do you want to copy Brelquin to your desktop ?",
  };
  EXPECT_EQ(Steps(), expected);
  const std::vector<LineCall>& lines = world->progress_windows.window.lines;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_FALSE(lines[0].compact);
  EXPECT_TRUE(lines[1].compact) << "the path may be shortened to fit its line";
  for (const LineCall& line : lines) EXPECT_NE(line.line, 3);
}

TEST_F(MainFlowTest, FailedDeletionIsToldWhileUnlinkingShowsAndStillOffersTheCopy) {
  world->messages.answers = {MessageAnswer::kYes};
  world->files.undeletable.insert(kTarget);
  EXPECT_EQ(Run(), 0);
  const CallLog expected = {
      "SetLine 1 Unlinking ...",
      "Close",
      "Delete C:\\a.txt",
      "Message " + Narrow(kUnlinkFailed),
      "SetLine 1 Ready.",
      "Stop",
      "Release",
      "DesktopFolder",
      "Join",
      "Exists C:\\Users\\ann\\Desktop\\Brelquin.exe",
      "Message Do you want to copy Brelquin to your desktop ?",
  };
  const CallLog steps = Steps();
  const auto unlinking = std::find(steps.begin(), steps.end(), expected.front());
  EXPECT_EQ(CallLog(unlinking, steps.end()), expected);
  EXPECT_EQ(world->files.files[kTarget], PassStream(SeedOfPass(9), 16384));
}

TEST_F(MainFlowTest, WipeFailuresStopTheWindowBeforeTellingAndEndThere) {
  struct Case {
    const char* name;
    bool cancel;
    std::string message;
  };
  const Case kCases[] = {{"write fails", false, "Message IO ERROR"},
                         {"cancelled", true, "Message Mission aborted"}};
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    Reset();
    world->messages.answers = {MessageAnswer::kYes};
    if (test.cancel) world->progress_windows.window.cancel_at_poll = 1;
    if (!test.cancel) world->files.write_faults[0] = WriteFault{WriteFault::kFail, 0};

    Run();

    const CallLog steps = Steps();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(CallLog(steps.end() - 2, steps.end()), (CallLog{"Stop", test.message}));
    EXPECT_FALSE(Logged("Release"));
    EXPECT_FALSE(Logged("Delete C:\\a.txt"));
    EXPECT_FALSE(Logged("DesktopFolder"));
  }
}

TEST_F(MainFlowTest, SizeFailureLeavesTheWindowUpAndTheFileOpen) {
  world->messages.answers = {MessageAnswer::kYes};
  world->files.size_fails = true;
  world->files.last_error = static_cast<int32_t>(0x80070005u);

  EXPECT_EQ(Run(), -1);

  EXPECT_EQ(Texts().back(), L"Could not get file size. Error -2147024891.");
  EXPECT_EQ(world->log.back(), "Message Could not get file size. Error -2147024891.");
  EXPECT_TRUE(Logged("Start"));
  EXPECT_FALSE(Logged("Stop"));
  EXPECT_TRUE(world->files.handle_open);
  EXPECT_EQ(world->files.write_calls, 0);
}

TEST_F(MainFlowTest, TakesTheFirstNonEmptyArgumentOrAsksForAFile) {
  struct Case {
    const char* name;
    std::vector<std::wstring> arguments;
    bool split_fails;
    bool asks;
  };
  const Case kCases[] = {
      {"no argument", {L"Brelquin.exe"}, false, true},
      {"empty first argument", {L"Brelquin.exe", L"", L"C:\\b.txt"}, false, true},
      {"failed split", {L"Brelquin.exe", kTarget}, true, true},
      {"nothing at all", {}, false, true},
      {"one argument", {L"Brelquin.exe", kTarget}, false, false},
      {"two arguments", {L"Brelquin.exe", kTarget, L"C:\\b.txt"}, false, false},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    Reset();
    world->files.files[kTarget] = kOriginal;
    world->files.files[L"C:\\b.txt"] = kOriginal;
    world->target_source.arguments = test.arguments;
    world->target_source.split_fails = test.split_fails;
    world->target_source.dialog_chooses = true;
    world->target_source.dialog_choice = kTarget;
    world->messages.answers = {MessageAnswer::kYes};

    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(Logged("OpenDialog"), test.asks);
    EXPECT_EQ(Count("Open C:\\a.txt"), 1);
    EXPECT_FALSE(Logged("Open C:\\b.txt"));
    EXPECT_EQ(world->files.files.count(kTarget), 0u);
    EXPECT_EQ(world->files.files[L"C:\\b.txt"], kOriginal);
  }
}

TEST_F(MainFlowTest, DismissedOpenDialogEndsSilently) {
  world->target_source.arguments = {L"Brelquin.exe"};
  world->target_source.dialog_chooses = false;

  EXPECT_EQ(Run(), -2);

  EXPECT_TRUE(world->messages.shown.empty());
  EXPECT_EQ(world->log, (CallLog{"InitializeCom", "SplitCommandLine", "OpenDialog"}));
}

TEST_F(MainFlowTest, PathChosenInTheDialogIsTheOneConfirmedAndWiped) {
  const std::wstring chosen = L"D:\\Docs\\notes.txt";
  world->target_source.arguments = {L"Brelquin.exe"};
  world->target_source.dialog_chooses = true;
  world->target_source.dialog_choice = chosen;
  world->files.files[chosen] = kOriginal;
  world->messages.answers = {MessageAnswer::kYes};

  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(Texts().front(), Confirmation(chosen));
  EXPECT_EQ(world->files.files.count(chosen), 0u);
  EXPECT_EQ(world->files.files[kTarget], kOriginal);
}

TEST_F(MainFlowTest, MissingProgressWindowStillWipesUnseen) {
  world->progress_windows.create_fails = true;
  world->messages.answers = {MessageAnswer::kYes};

  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(Texts(),
            (std::vector<std::wstring>{Confirmation(kTarget), kDestroyed, kDesktopQuestion}));
  EXPECT_EQ(world->files.files.count(kTarget), 0u);
  EXPECT_EQ(world->files.write_calls, 10);
}

TEST(ComposeConfirmationTest, QuotesThePathBetweenTheQuestionAndTheWarning) {
  wchar_t text[kConfirmationChars];
  EXPECT_TRUE(ComposeConfirmation(L"C:\\a.txt", text, kConfirmationChars));
  EXPECT_EQ(std::wstring(text),
            L"Do you really want to nuke this file ?\n\n\"C:\\a.txt\" ?\n\nA nuked file will be "
            L"removed permanently and can't be restored using file recovery tools.");
}

TEST_F(MainFlowTest, LongestCommandLinePathIsConfirmedWhole) {
  const std::wstring path = L"\\\\?\\C:\\" + std::wstring(kLongestPathChars - 8, L'x');
  world->target_source.arguments = {L"Brelquin.exe", path};
  world->files.files[path] = kOriginal;

  EXPECT_EQ(Run(), 0);

  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0], Confirmation(path));
  EXPECT_EQ(world->files.files[path], kOriginal);
}

TEST_F(MainFlowTest, PathTooLongToShowWholeIsNeverAskedAbout) {
  const std::wstring path = L"C:\\" + std::wstring(kConfirmationChars, L'x');
  world->target_source.arguments = {L"Brelquin.exe", path};
  world->files.files[path] = kOriginal;

  EXPECT_EQ(Run(), 0);

  EXPECT_TRUE(world->messages.shown.empty());
  EXPECT_EQ(Count("Close"), 1);
  EXPECT_EQ(world->files.files[path], kOriginal);
}

}  // namespace
