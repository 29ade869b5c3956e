#include <gtest/gtest.h>

#include "app/messages.h"

using platform::MsgIcon;

TEST(CodedMessages, TextCaptionAndIcon) {
  platform::ScopedScriptedDialogs dialogs;
  ShowErrorMessage(1, "SAO_YALE.DAT");
  auto r = dialogs.Last();
  EXPECT_EQ(r.text, "Error: Can't open file SAO_YALE.DAT");
  EXPECT_EQ(r.caption, "Noctra Planetarium V3.2");
  EXPECT_EQ(r.icon, MsgIcon::Stop);
  EXPECT_EQ(r.buttons, platform::MsgButtons::Ok);

  ShowErrorMessage(102, "x.dat");
  EXPECT_EQ(dialogs.Last().text, "Warning: Can't open file x.dat");
  EXPECT_EQ(dialogs.Last().icon, MsgIcon::Exclamation);
  // Codes 104 to 107 read "Error" yet carry the exclamation icon.
  ShowErrorMessage(105, "");
  EXPECT_EQ(dialogs.Last().icon, MsgIcon::Exclamation);
  ShowErrorMessage(11, "");
  EXPECT_EQ(dialogs.Last().text, "Error: Can't create Plotter bitmap.");
  EXPECT_EQ(dialogs.Last().icon, MsgIcon::Stop);
}

TEST(CodedMessages, UnknownCodes) {
  platform::ScopedScriptedDialogs dialogs;
  for (int16_t code : {int16_t(0), int16_t(-1), int16_t(12), int16_t(99), int16_t(108),
                       int16_t(119), int16_t(123)}) {
    ShowErrorMessage(code, "detail");
    EXPECT_EQ(dialogs.Last().text, "Unknown errordetail") << code;
    EXPECT_EQ(dialogs.Last().icon, MsgIcon::Exclamation) << code;
  }
}

TEST(CodedMessages, EveryTableEntry) {
  platform::ScopedScriptedDialogs dialogs;
  const struct {
    int16_t code;
    const char* text;
  } table[] = {
      {2, "Error: Can't read file "}, {3, "Error: Can't close file "},
      {4, "Error: Can't load Globe surface data."}, {5, "Error: Can't create ColorCrossRef data."},
      {6, "Error: Can't create OvalMask."}, {7, "Error: Can't create Globe view."},
      {8, "Error: Can't create Clock view."}, {9, "Error: Can't create Magnifier view."},
      {10, "Error: Can't create StarSphere view."},
      {100, "Warning: Unrecognized file format in "}, {101, "Warning: Unexpected file size in "},
      {103, "Warning: Can't read file "}, {104, "Error: Can't close file "},
      {106, "Error: Can't write file "}, {107, "Error: Can't access "},
      {120, "Warning: Latitude value makes no sense\r\n(use value of 0 to 90 followed by N or S)\r\nlocation ignored."},
      {121, "Warning: Longitude value makes no sense\r\n(use value of 0 to 180 followed by E or W)\r\nlocation ignored."},
      {122, "Warning: TimeZone value makes no sense\r\n(use value of -12 to 12)\r\nlocation ignored."},
  };
  for (const auto& t : table) {
    ShowErrorMessage(t.code, "");
    EXPECT_EQ(dialogs.Last().text, t.text) << t.code;
    EXPECT_EQ(dialogs.Last().icon, t.code < 100 ? MsgIcon::Stop : MsgIcon::Exclamation) << t.code;
    EXPECT_EQ(dialogs.Last().caption, "Noctra Planetarium V3.2") << t.code;
    EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::Ok) << t.code;
  }
}

TEST(CodedMessages, LongDetailIsCutAt255Characters) {
  platform::ScopedScriptedDialogs dialogs;
  ShowErrorMessage(1, std::string(300, 'a'));
  const std::string text = dialogs.Last().text;
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.substr(0, 23), "Error: Can't open file ");
}

TEST(FlashHooks, ReachTheInstalledSinkCutTo255Characters) {
  std::vector<std::pair<std::string, int>> messages, progress;
  SetFlashSink({[&](const std::string& t, int s) { messages.emplace_back(t, s); },
                [&](const std::string& t, int v) { progress.emplace_back(t, v); }});
  ShowFlashMessage(std::string(300, 'x'), 2);
  ShowFlashProgress("Loading", -1);
  SetFlashSink({});
  ShowFlashMessage("after", 1);  // no sink: ignored
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, std::string(255, 'x'));
  EXPECT_EQ(messages[0].second, 2);
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0], std::make_pair(std::string("Loading"), -1));
}
