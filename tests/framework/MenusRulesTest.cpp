// The pure menu rules: automatic access keys, separator reduction, tracking flags.
#include <gtest/gtest.h>

#include "framework/Menus.h"
#include "framework/Strings.h"

namespace lumek {
namespace {

struct KeyEntry {
  std::string caption;  // UTF-8
  bool visible = true;
};

struct KeyRow {
  const char* name;
  bool japaneseFace;
  std::vector<KeyEntry> entries;
  std::vector<std::string> expected;  // UTF-8
};

TEST(AccessKeys, AssignsFreeKeysAndResolvesDuplicates) {
  const KeyRow rows[] = {
      {"plain captions get the first character", false, {{"Open"}, {"Exit"}}, {"&Open", "&Exit"}},
      {"a taken first character moves the key on", false, {{"&Open"}, {"Options"}}, {"&Open", "O&ptions"}},
      {"lower-case key counts as its upper case", false, {{"&copy"}, {"Cut"}}, {"&copy", "C&ut"}},
      {"duplicate in an ASCII caption loses only the ampersand", true, {{"&Copy"}, {"&Cut"}}, {"&Copy", "C&ut"}},
      {"bracketed duplicate in the English face loses only the ampersand", false,
       {{"Close(&C)"}, {"Copy(&C)"}}, {"Close(&C)", "C&opy(C)"}},
      {"key is the one after the last single ampersand", false, {{"x&y&z"}, {"zed"}}, {"x&y&z", "z&ed"}},
      {"double ampersand is a literal", false, {{"A&&B"}}, {"&A&&B"}},
      {"non-pool key is left as it is", false, {{"&!x"}, {"&ア"}}, {"&!x", "&ア"}},
      {"a key outside the basic plane is left as it is", false, {{"&😀"}, {"x"}}, {"&😀", "&x"}},
      {"invisible items, separators and empty captions are skipped", false,
       {{"&Open", false}, {"-"}, {""}, {"Other"}}, {"&Open", "-", "", "&Other"}},
      {"items that failed are tried first next time", false, {{"AB"}, {"A"}}, {"A&B", "&A"}},
      {"wide characters are never taken as keys", false, {{"アB"}, {"ア"}}, {"ア&B", "ア"}},
      {"nor letters outside ASCII", false, {{"Über"}}, {"Ü&ber"}},
      {"wide caption gets a bracketed key in the Japanese face", true, {{"Web設定"}}, {"Web設定(&W)"}},
      {"a letter outside code page 932 counts as wide", true, {{"Über"}}, {"Über(&B)"}},
      {"half-width katakana are narrow: no bracket", true, {{"ｾｯﾄB"}}, {"ｾｯﾄ&B"}},
      {"bracketed duplicate removed whole, last pool key given", true,
       {{"閉じる(&C)"}, {"カーソルの色(&C)..."}}, {"閉じる(&C)", "カーソルの色(&Z)..."}},
      {"leftover keys leave the pool even without a mark", true,
       {{"&A"}, {"a"}, {"設定"}}, {"&A", "a", "設定(&Y)"}},
      {"Hangul and a surrogate pair take leftover keys too", true, {{"한국"}, {"😀"}},
       {"한국(&Z)", "😀(&Y)"}},
      {"in the English face a failed caption stays", false, {{"&A"}, {"設定"}}, {"&A", "設定"}},
      {"the English menu keeps its keys", false,
       {{"&Close"}, {"-"}, {"Cursor &Display"}, {"&Wrap at Screen Edges"}, {"Line C&olour..."}, {"Line &Thickness"},
        {"Tracking &Speed"}, {"&Heartbeat"}, {"User's &Guide"}, {"&Information..."}, {"E&xit"}},
       {"&Close", "-", "Cursor &Display", "&Wrap at Screen Edges", "Line C&olour...", "Line &Thickness",
        "Tracking &Speed", "&Heartbeat", "User's &Guide", "&Information...", "E&xit"}},
  };
  for (const KeyRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<AccessKeyEntry> entries;
    for (const KeyEntry& entry : row.entries) entries.push_back({Utf8ToWide(entry.caption), entry.visible});
    std::vector<std::wstring> actual = DeriveAccessKeys(entries, row.japaneseFace);
    ASSERT_EQ(actual.size(), row.expected.size());
    for (size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(WideToUtf8(actual[i]), row.expected[i]) << "entry " << i;
  }
}

TEST(Face, JapaneseForEveryJapaneseLanguageEnglishForTheRest) {
  EXPECT_EQ(FaceForLanguage(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)), TFace::Japanese);
  EXPECT_EQ(FaceForLanguage(MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL)), TFace::Japanese);
  EXPECT_EQ(FaceForLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), TFace::English);
  EXPECT_EQ(FaceForLanguage(MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)), TFace::English);
  EXPECT_EQ(FaceForLanguage(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)), TFace::English);
}

TEST(SeparatorReduction, HidesLeadingTrailingAndRepeatedSeparators) {
  const LineEntry item{false, true};
  const LineEntry line{true, true};
  const LineEntry hiddenItem{false, false};
  const LineEntry hiddenLine{true, false};
  struct Row {
    const char* name;
    std::vector<LineEntry> entries;
    std::vector<bool> redundant;
  } rows[] = {
      {"separator between items stays", {item, line, item}, {false, false, false}},
      {"leading separators go", {line, line, item}, {true, true, false}},
      {"trailing separator goes", {item, line}, {false, true}},
      {"of a run only the last stays", {item, line, line, line, item}, {false, true, true, false, false}},
      {"an invisible item does not break a run", {item, line, hiddenItem, line, item},
       {false, true, false, false, false}},
      {"trailing after an invisible last item", {item, line, hiddenItem}, {false, true, false}},
      {"invisible separators are not counted", {item, hiddenLine, item}, {false, false, false}},
      {"only separators", {line, line}, {true, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RedundantSeparators(row.entries), row.redundant);
  }
}

TEST(PopupFlags, CombineAlignmentButtonAndAnimation) {
  TMenuAnimation bottomToTop{TMenuAnimation::maBottomToTop};
  TMenuAnimation none{};
  struct Row {
    const char* name;
    TPopupAlignment alignment;
    bool rightToLeft;
    TTrackButton button;
    TMenuAnimation animation;
    UINT flags;
  } rows[] = {
      {"main menu: centred, right button, upwards", TPopupAlignment::paCenter, false, TTrackButton::tbRightButton,
       bottomToTop, 0x2006},
      {"left aligned, left button", TPopupAlignment::paLeft, false, TTrackButton::tbLeftButton, none, 0x0},
      {"right aligned", TPopupAlignment::paRight, false, TTrackButton::tbLeftButton, none, 0x8},
      {"right to left swaps left", TPopupAlignment::paLeft, true, TTrackButton::tbLeftButton, none, 0x8},
      {"right to left swaps right", TPopupAlignment::paRight, true, TTrackButton::tbRightButton, none, 0x2},
      {"right to left keeps centre", TPopupAlignment::paCenter, true, TTrackButton::tbLeftButton, none, 0x4},
      {"animation bits", TPopupAlignment::paLeft, false, TTrackButton::tbLeftButton,
       TMenuAnimation{TMenuAnimation::maLeftToRight | TMenuAnimation::maNone}, 0x4400},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PopupMenuFlags(row.alignment, row.rightToLeft, row.button, row.animation), row.flags);
  }
}

}  // namespace
}  // namespace lumek
