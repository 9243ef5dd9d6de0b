// The tray menu read from its stored description: platform menus, check
// marks, tracking and the popup list's window.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Menus.h"
#include "framework/Strings.h"
#include "tests/support/Recorder.h"

namespace lumek {
namespace {

using test::CallRecorder;
using test::PumpUntil;
using test::ShowSequences;

const char kMainMenu[] = R"(
object MainForm1: TMainForm1
  object PopupMenu1: TPopupMenu
    Alignment = paCenter
    AutoPopup = False
    MenuAnimation = [maBottomToTop]
    object Close1: TMenuItem
      Caption = '閉じる(&C)'
    end
    object N18: TMenuItem
      Caption = '-'
    end
    object N20: TMenuItem
      Caption = 'カーソルの表示(&D)'
      object N21: TMenuItem
        Caption = '縦ライン(&V)'
        Checked = True
        OnClick = N21Click
      end
      object N22: TMenuItem
        Caption = '横ライン(&H)'
        Checked = True
        OnClick = N22Click
      end
    end
    object N19: TMenuItem
      Caption = 'カーソルをワープさせる(&W)'
      OnClick = N19Click
    end
    object N23: TMenuItem
      Caption = '-'
    end
    object N2: TMenuItem
      Caption = 'カーソルの色(&C)...'
      OnClick = N2Click
    end
    object N4: TMenuItem
      Caption = 'カーソルの太さ(&L)'
      object N5: TMenuItem
        Caption = '極細(&E)'
        Checked = True
        OnClick = N5Click
      end
      object N6: TMenuItem
        Caption = '細(&T)'
        OnClick = N6Click
      end
      object N11: TMenuItem
        Caption = '太(&H)'
        OnClick = N11Click
      end
      object N12: TMenuItem
        Caption = '極太(&X)'
        OnClick = N12Click
      end
    end
    object N13: TMenuItem
      Caption = 'カーソルの追跡速度(&S)'
      object N14: TMenuItem
        Caption = '速い(&F)'
        Checked = True
        OnClick = N14Click
      end
      object N15: TMenuItem
        Caption = 'やや速い(&L)'
        OnClick = N15Click
      end
      object N16: TMenuItem
        Caption = 'やや遅い(&B)'
        OnClick = N16Click
      end
      object N17: TMenuItem
        Caption = '遅い(&S)'
        OnClick = N17Click
      end
    end
    object N3: TMenuItem
      Caption = '-'
    end
    object N1: TMenuItem
      Caption = '心音を鳴らす(&B)'
      Checked = True
      OnClick = N1Click
    end
    object N7: TMenuItem
      Caption = '-'
    end
    object N8: TMenuItem
      Caption = 'ユーザーズガイド(&G)'
      OnClick = N8Click
    end
    object N9: TMenuItem
      Caption = 'インフォメーション(&I)...'
      OnClick = N9Click
    end
    object N10: TMenuItem
      Caption = '-'
    end
    object X1: TMenuItem
      Caption = '終了する(&X)'
      OnClick = X1Click
    end
  end
end
)";

// The main form's menu built from its description; every handler logs the
// sender's name, N8Click raises.
class MainMenu {
 public:
  MainMenu() : root_(std::make_unique<TComponent>(nullptr)) {
    RegisterMenuClasses();
    for (const char* name : {"N21Click", "N22Click", "N19Click", "N2Click", "N5Click", "N6Click", "N11Click",
                             "N12Click", "N14Click", "N15Click", "N16Click", "N17Click", "N1Click", "N9Click",
                             "X1Click"}) {
      methods_.push_back({name, TNotifyEvent([this](TObject* sender) { Log(sender); })});
    }
    methods_.push_back({"N8Click", TNotifyEvent([this](TObject* sender) {
                          Log(sender);
                          throw Exception("guide failed");
                        })});
    StoredContext context(root_.get());
    context.SetMethods(&methods_);
    ReadStoredForm(root_.get(), ParseStoredForm(kMainMenu), context);
    menu = dynamic_cast<TPopupMenu*>(root_->FindComponent("PopupMenu1"));
  }

  TMenuItem* Item(const char* name) const { return dynamic_cast<TMenuItem*>(root_->FindComponent(name)); }
  std::string CaptionUtf8(const char* name) const { return WideToUtf8(Item(name)->Caption()); }
  void Log(TObject* sender) { clicks.push_back(static_cast<TMenuItem*>(sender)->Name()); }
  void Post(TMenuItem* item) const { ::PostMessageW(PopupList().Window(), WM_COMMAND, MAKEWPARAM(item->Command(), 0), 0); }

  TPopupMenu* menu = nullptr;
  std::vector<std::string> clicks;

 private:
  std::unique_ptr<TComponent> root_;
  std::vector<PublishedMethod> methods_;
};

std::string MenuString(HMENU menu, UINT command) {
  wchar_t text[128] = {};
  ::GetMenuStringW(menu, command, text, 128, MF_BYCOMMAND);
  return WideToUtf8(text);
}

// The user interface language the seam reports while `recorder` lives.
void ShowFace(CallRecorder&, LANGID language) {
  static LANGID shown = 0;
  shown = language;
  Platform().GetUserDefaultUILanguage = [] { return shown; };
}
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(PopupMenu, ReadsItsStoredDescription) {
  MainMenu main;
  ASSERT_NE(main.menu, nullptr);
  EXPECT_EQ(main.menu->Alignment, TPopupAlignment::paCenter);
  EXPECT_FALSE(main.menu->AutoPopup);
  EXPECT_EQ(main.menu->MenuAnimation.bits, TMenuAnimation::maBottomToTop);
  TMenuItem* top = main.menu->Items();
  ASSERT_EQ(top->Count(), 15u);
  EXPECT_EQ(top->Item(2), main.Item("N20"));
  EXPECT_EQ(main.Item("N21")->Parent(), main.Item("N20"));
  EXPECT_TRUE(main.Item("N21")->Checked());
  EXPECT_FALSE(main.Item("N6")->Checked());
  EXPECT_TRUE(main.Item("N18")->IsSeparator());
  std::map<uint16_t, std::string> commands;
  for (const char* name : {"Close1", "N20", "N21", "N22", "N2", "X1"}) {
    EXPECT_TRUE(commands.emplace(main.Item(name)->Command(), name).second) << name << " shares a command";
  }
}

TEST(PopupMenu, FirstPopupGivesTheColourItemKeyZAndLaterPopupsKeepIt) {
  MainMenu main;
  CallRecorder recorder;
  ShowFace(recorder, kJapanese);
  recorder.Menus();
  recorder.Name(PopupList().Window(), "util");

  main.menu->PopupAt(100, 500);
  EXPECT_EQ(main.CaptionUtf8("N2"), "カーソルの色(&Z)...");
  EXPECT_EQ(main.CaptionUtf8("Close1"), "閉じる(&C)");
  EXPECT_EQ(MenuString(main.menu->Handle(), main.Item("N2")->Command()), "カーソルの色(&Z)...");
  const std::vector<std::string> expectedTrack = {"TrackPopupMenu(0x2006, 100, 500, util)"};
  EXPECT_EQ(recorder.CallsStartingWith("TrackPopupMenu"), expectedTrack)
      << ShowSequences(recorder.CallsStartingWith("TrackPopupMenu"), expectedTrack);

  // Opening each submenu finds nothing to change, so nothing is rebuilt.
  recorder.Clear();
  for (const char* name : {"N20", "N4", "N13"}) {
    ::SendMessageA(PopupList().Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(main.Item(name)->Handle()), 0);
  }
  EXPECT_TRUE(recorder.CallsStartingWith("InsertMenuItemW").empty())
      << ShowSequences(recorder.Calls(), {});
  for (const auto& [name, caption] : std::vector<std::pair<const char*, const char*>>{
           {"N21", "縦ライン(&V)"}, {"N5", "極細(&E)"}, {"N6", "細(&T)"}, {"N15", "やや速い(&L)"}}) {
    EXPECT_EQ(main.CaptionUtf8(name), caption);
  }

  main.menu->PopupAt(100, 500);
  EXPECT_EQ(main.CaptionUtf8("N2"), "カーソルの色(&Z)...");
  EXPECT_EQ(main.CaptionUtf8("Close1"), "閉じる(&C)");
  // The rebuild replaced the entries rather than adding to them.
  EXPECT_EQ(::GetMenuItemCount(main.menu->Handle()), 15);
}

TEST(PopupMenu, BuildsEntriesFromTheItemsAtEveryPopup) {
  MainMenu main;
  CallRecorder recorder;
  recorder.Menus();
  main.menu->PopupAt(0, 0);
  HMENU top = main.menu->Handle();
  ASSERT_EQ(::GetMenuItemCount(top), 15);
  EXPECT_EQ(::GetMenuState(top, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_EQ(::GetSubMenu(top, 2), main.Item("N20")->Handle());
  EXPECT_EQ(::GetMenuState(top, main.Item("N21")->Command(), MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(::GetMenuState(top, main.Item("N6")->Command(), MF_BYCOMMAND) & MF_CHECKED, 0u);

  main.Item("N19")->SetVisible(false);
  main.Item("N9")->SetEnabled(false);
  main.menu->PopupAt(0, 0);
  EXPECT_EQ(::GetMenuItemCount(top), 14);
  EXPECT_EQ(::GetMenuState(top, main.Item("N19")->Command(), MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(::GetMenuState(top, main.Item("N9")->Command(), MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));

  // Hiding N1 leaves the separators N3 and N7 side by side: only N7 is shown.
  main.Item("N1")->SetVisible(false);
  main.menu->PopupAt(0, 0);
  EXPECT_EQ(::GetMenuItemCount(top), 12);
  EXPECT_TRUE(main.Item("N3")->Visible()) << "the reduction must not change the item's own Visible";
}

TEST(PopupMenu, AutomaticKeysFollowTheFaceNotTheCodePage) {
  MainMenu main;
  CallRecorder recorder;
  ShowFace(recorder, kEnglish);
  recorder.Menus();
  main.menu->PopupAt(100, 500);
  // No bracketed key in the English face: the duplicate loses its ampersand and
  // keeps its text, and no leftover key is given to a caption without a free letter.
  EXPECT_EQ(main.CaptionUtf8("N2"), "カーソルの色(C)...");
  EXPECT_EQ(main.CaptionUtf8("Close1"), "閉じる(&C)");
  EXPECT_EQ(MenuString(main.menu->Handle(), main.Item("N2")->Command()), "カーソルの色(C)...");
}

TEST(PopupMenu, CheckMarksReachThePlatformMenuOnlyWhenTheyChange) {
  CallRecorder recorder;
  recorder.Menus();
  MainMenu main;
  EXPECT_TRUE(recorder.Calls().empty()) << "loading makes no platform menu" << ShowSequences(recorder.Calls(), {});

  TMenuItem* n21 = main.Item("N21");
  n21->SetChecked(true);
  EXPECT_TRUE(recorder.Calls().empty()) << ShowSequences(recorder.Calls(), {});

  n21->SetChecked(false);
  const std::vector<std::string> expected = {
      "InsertMenuItemW(0, \"縦ライン(&V)\")",
      "InsertMenuItemW(1, \"横ライン(&H)\")",
      "CheckMenuItem(" + std::to_string(n21->Command()) + ", 0x0)",
  };
  EXPECT_EQ(recorder.Calls(), expected) << ShowSequences(recorder.Calls(), expected);
  HMENU submenu = main.Item("N20")->Handle();
  EXPECT_EQ(::GetMenuState(submenu, n21->Command(), MF_BYCOMMAND) & MF_CHECKED, 0u);

  recorder.Clear();
  main.Item("N22")->SetChecked(false);
  n21->SetChecked(true);
  const std::vector<std::string> expectedLater = {
      "CheckMenuItem(" + std::to_string(main.Item("N22")->Command()) + ", 0x0)",
      "CheckMenuItem(" + std::to_string(n21->Command()) + ", 0x8)",
  };
  EXPECT_EQ(recorder.Calls(), expectedLater) << ShowSequences(recorder.Calls(), expectedLater);
  EXPECT_EQ(::GetMenuState(submenu, n21->Command(), MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
}

TEST(PopupMenu, RadioItemsUncheckTheirGroupOnly) {
  MainMenu main;
  TMenuItem* n5 = main.Item("N5");
  TMenuItem* n6 = main.Item("N6");
  TMenuItem* n11 = main.Item("N11");
  for (TMenuItem* item : {n5, n6, n11}) item->RadioItem = true;
  n11->GroupIndex = 1;
  n11->SetChecked(true);
  n6->SetChecked(true);
  EXPECT_FALSE(n5->Checked());
  EXPECT_TRUE(n6->Checked());
  EXPECT_TRUE(n11->Checked()) << "another group";
}

TEST(PopupList, CommandsClickTheItemAndSurviveARaisingHandler) {
  MainMenu main;
  std::vector<std::string> reported;
  auto savedHandler = Application->OnException;
  Application->OnException = [&reported](TObject*, const Exception& e) { reported.push_back(e.what()); };

  main.Post(main.Item("N11"));
  ASSERT_TRUE(PumpUntil([&] { return !main.clicks.empty(); }, 2000));
  EXPECT_EQ(main.clicks, std::vector<std::string>{"N11"});

  main.Post(main.Item("N8"));
  main.Post(main.Item("N14"));
  ASSERT_TRUE(PumpUntil([&] { return main.clicks.size() == 3; }, 2000));
  EXPECT_EQ(main.clicks, (std::vector<std::string>{"N11", "N8", "N14"}));
  EXPECT_EQ(reported, std::vector<std::string>{"guide failed"});
  Application->OnException = savedHandler;
}

TEST(PopupList, ClickHonoursEnabledAndAutoCheck) {
  MainMenu main;
  TMenuItem* n12 = main.Item("N12");
  n12->AutoCheck = true;
  bool checkedInHandler = false;
  n12->OnClick = [&](TObject*) { checkedInHandler = n12->Checked(); };
  TMenuItem* n6 = main.Item("N6");
  n6->SetEnabled(false);
  main.Post(n6);
  main.Post(main.Item("Close1"));
  main.Post(n12);
  ASSERT_TRUE(PumpUntil([&] { return n12->Checked(); }, 2000));
  EXPECT_TRUE(checkedInHandler) << "AutoCheck toggles before OnClick";
  EXPECT_TRUE(main.clicks.empty()) << "the disabled N6 must not run";
}

TEST(PopupList, OpeningASubmenuRevisesAndRebuildsIt) {
  MainMenu main;
  CallRecorder recorder;
  ShowFace(recorder, kJapanese);
  recorder.Menus();
  TMenuItem* n4 = main.Item("N4");
  int submenuClicks = 0;
  n4->OnClick = [&](TObject*) { ++submenuClicks; };
  HMENU submenu = n4->Handle();
  main.Item("N5")->SetCaption(L"極細(&T)");
  recorder.Clear();

  ::SendMessageW(PopupList().Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu), 0);
  EXPECT_EQ(submenuClicks, 1);
  EXPECT_EQ(main.CaptionUtf8("N6"), "細(&Z)");
  EXPECT_EQ(recorder.CallsStartingWith("InsertMenuItemW").size(), 4u) << ShowSequences(recorder.Calls(), {});
  EXPECT_EQ(MenuString(submenu, main.Item("N6")->Command()), "細(&Z)");

  recorder.Clear();
  ::SendMessageW(PopupList().Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu), 0);
  EXPECT_TRUE(recorder.CallsStartingWith("InsertMenuItemW").empty()) << ShowSequences(recorder.Calls(), {});
}

TEST(PopupList, UtilityWindowLivesFromTheFirstPopupMenuToTheLast) {
  ASSERT_EQ(PopupList().Count(), 0u) << "another test left a popup menu alive";
  auto first = std::make_unique<TPopupMenu>(nullptr);
  HWND window = PopupList().Window();
  ASSERT_TRUE(::IsWindow(window));
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  EXPECT_STREQ(className, L"TUtilWindow");
  EXPECT_FALSE(::IsWindowVisible(window));
  auto second = std::make_unique<TPopupMenu>(nullptr);
  EXPECT_EQ(PopupList().Window(), window);
  first.reset();
  EXPECT_TRUE(::IsWindow(window));
  second.reset();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(PopupList().Window(), nullptr);
}

TEST(PopupMenu, ItemsAndReferencesGoAwayCleanly) {
  MainMenu main;
  CallRecorder recorder;
  recorder.Menus();
  main.menu->PopupAt(0, 0);
  auto other = std::make_unique<TComponent>(nullptr);
  main.menu->SetPopupComponent(other.get());
  other.reset();
  EXPECT_EQ(main.menu->PopupComponent(), nullptr);

  HMENU submenu = main.Item("N4")->Handle();
  delete main.Item("N4");
  EXPECT_EQ(main.menu->Items()->Count(), 14u);
  EXPECT_FALSE(::IsMenu(submenu));
  EXPECT_EQ(main.Item("N5"), nullptr) << "the children go with their parent";
  main.menu->PopupAt(0, 0);
  EXPECT_EQ(::GetMenuItemCount(main.menu->Handle()), 14);
}

// Ends a menu that the posted keys did not close, so a failing test cannot hang.
void CALLBACK EndStuckMenu(HWND, UINT, UINT_PTR, DWORD) { ::EndMenu(); }

TEST(PopupMenu, RealMenuDeliversTheChoiceByAccessKey) {
  MainMenu main;
  CallRecorder recorder;
  ShowFace(recorder, kJapanese);
  // The platform's own menu loop reads these from the queue once it runs:
  // Z is the key the colour item gets at this popup.
  ::PostMessageW(PopupList().Window(), WM_CHAR, 'z', 0);
  UINT_PTR guard = ::SetTimer(nullptr, 0, 5000, EndStuckMenu);
  main.menu->PopupAt(100, 500);
  ::KillTimer(nullptr, guard);
  ASSERT_TRUE(PumpUntil([&] { return !main.clicks.empty(); }, 2000)) << "no command arrived";
  EXPECT_EQ(main.clicks, std::vector<std::string>{"N2"});
}

}  // namespace
}  // namespace lumek
