// The pure menu rules: automatic access keys, separator reduction, tracking flags.
#include <gtest/gtest.h>

#include "framework/Menus.h"
#include "framework/Strings.h"

namespace lumek {
namespace {

constexpr UINT kShiftJis = 932;

struct KeyRow {
  const char* name;
  bool doubleByteLocale;
  std::vector<AccessKeyEntry> entries;  // captions in UTF-8
  std::vector<std::string> expected;    // UTF-8
};

std::vector<AccessKeyEntry> ToAnsi(std::vector<AccessKeyEntry> entries) {
  for (AccessKeyEntry& entry : entries) entry.caption = Utf8ToAnsi(entry.caption);
  return entries;
}

TEST(AccessKeys, AssignsFreeKeysAndResolvesDuplicates) {
  const KeyRow rows[] = {
      {"plain captions get the first character", false, {{"Open"}, {"Exit"}}, {"&Open", "&Exit"}},
      {"a taken first character moves the key on", false, {{"&Open"}, {"Options"}}, {"&Open", "O&ptions"}},
      {"lower-case key counts as its upper case", false, {{"&copy"}, {"Cut"}}, {"&copy", "C&ut"}},
      {"duplicate in an ASCII caption loses only the ampersand", true, {{"&Copy"}, {"&Cut"}}, {"&Copy", "C&ut"}},
      {"bracketed duplicate without double-byte locale loses only the ampersand", false,
       {{"Close(&C)"}, {"Copy(&C)"}}, {"Close(&C)", "C&opy(C)"}},
      {"key is the one after the last single ampersand", false, {{"x&y&z"}, {"zed"}}, {"x&y&z", "z&ed"}},
      {"double ampersand is a literal", false, {{"A&&B"}}, {"&A&&B"}},
      {"non-pool key is left as it is", false, {{"&!x"}, {"&ア"}}, {"&!x", "&ア"}},
      {"invisible items, separators and empty captions are skipped", false,
       {{"&Open", false}, {"-"}, {""}, {"Other"}}, {"&Open", "-", "", "&Other"}},
      {"items that failed are tried first next time", false, {{"AB"}, {"A"}}, {"A&B", "&A"}},
      {"second bytes are never taken as keys", false, {{"アB"}, {"ア"}}, {"ア&B", "ア"}},
      {"double-byte caption gets a bracketed key", true, {{"Web設定"}}, {"Web設定(&W)"}},
      {"bracketed duplicate removed whole, last pool key given", true,
       {{"閉じる(&C)"}, {"カーソルの色(&C)..."}}, {"閉じる(&C)", "カーソルの色(&Z)..."}},
      {"leftover keys leave the pool even without a mark", true,
       {{"&A"}, {"a"}, {"設定"}}, {"&A", "a", "設定(&Y)"}},
      {"without double-byte locale a failed caption stays", false, {{"&A"}, {"設定"}}, {"&A", "設定"}},
  };
  for (const KeyRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> actual = DeriveAccessKeys(ToAnsi(row.entries), row.doubleByteLocale, kShiftJis);
    ASSERT_EQ(actual.size(), row.expected.size());
    for (size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(AnsiToUtf8(actual[i]), row.expected[i]) << "entry " << i;
  }
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
