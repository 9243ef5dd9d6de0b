// Ownership, free notification and the stored-description reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Strings.h"

namespace lumek {
namespace {

std::vector<std::string> journal;

std::string ShowJournal() {
  std::string text = "\njournal:\n";
  for (const std::string& line : journal) text += "  " + line + "\n";
  return text;
}

// A component that writes what happens to it into the journal.
class TJournalComponent : public TComponent {
 public:
  explicit TJournalComponent(TComponent* owner) : TComponent(owner) {}
  ~TJournalComponent() override { journal.push_back("destroy " + Name() + (Owner() ? " owned" : " detached")); }

  void SetStoredProperty(const std::string& name, const StoredValue& value, StoredContext& context) override {
    if (name == "OnFire") {
      OnFire = context.NotifyHandler(value);
      journal.push_back(Name() + ".OnFire");
      return;
    }
    if (name == "Count" || name == "Label" || name == "Mode" || name == "Flags" || name == "Image") {
      std::string shown = value.kind == StoredValue::Kind::Integer ? std::to_string(value.AsInt())
                          : value.kind == StoredValue::Kind::Set   ? std::to_string(value.members.size()) + " members"
                          : value.kind == StoredValue::Kind::String ? WideToUtf8(value.AsString())
                                                                   : value.text;
      journal.push_back(Name() + "." + name + "=" + shown + (IsLoading() ? " loading" : ""));
      return;
    }
    TComponent::SetStoredProperty(name, value, context);
  }
  void AddStoredChild(TComponent* child) override {
    journal.push_back(Name() + " holds " + child->Name());
    children.push_back(child);
  }
  void Loaded() override {
    TComponent::Loaded();
    journal.push_back("loaded " + Name());
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) journal.push_back(Name() + " notified of " + component->Name());
  }

  TNotifyEvent OnFire;
  std::vector<TComponent*> children;
};

class Components : public testing::Test {
 protected:
  void SetUp() override {
    journal.clear();
    RegisterStoredClass<TJournalComponent>("TJournalComponent");
  }
};

TEST_F(Components, OwnerDestroysWhatItOwnsLastCreatedFirstAndDetachedFromItself) {
  auto* owner = new TJournalComponent(nullptr);
  owner->SetName("owner");
  for (const char* name : {"first", "second", "third"}) (new TJournalComponent(owner))->SetName(name);
  delete owner;
  std::vector<std::string> expected = {"destroy owner detached", "destroy third detached", "destroy second detached",
                                       "destroy first detached"};
  EXPECT_EQ(journal, expected) << ShowJournal();
}

TEST_F(Components, DestroyingAReferencedComponentTellsTheReferrerOnce) {
  auto* referrer = new TJournalComponent(nullptr);
  referrer->SetName("referrer");
  auto* menu = new TJournalComponent(nullptr);
  menu->SetName("menu");
  menu->FreeNotification(referrer);
  delete menu;
  EXPECT_NE(std::find(journal.begin(), journal.end(), "referrer notified of menu"), journal.end()) << ShowJournal();
  // The link is gone both ways: destroying the referrer afterwards touches nothing freed.
  journal.clear();
  delete referrer;
  EXPECT_EQ(journal, std::vector<std::string>{"destroy referrer detached"}) << ShowJournal();
}

TEST_F(Components, ReaderCreatesInStoredOrderAppliesPropertiesInOrderAndLoadsAtTheEnd) {
  const char* text = R"(object Root: TJournalComponent
  Count = 7
  object A: TJournalComponent
    Label = 'ａ日本'
    OnFire = FireA
  end
  Flags = [x, y]
  object B: TJournalComponent
    Mode = mdFast
    object B1: TJournalComponent
      Count = $10
    end
    Image = @TRAYICON
  end
end
)";
  TJournalComponent root(nullptr);
  root.SetName("Root");
  int fired = 0;
  std::vector<PublishedMethod> methods = {{"FireA", TNotifyEvent([&fired](TObject*) { ++fired; })}};
  StoredContext context(&root);
  context.SetMethods(&methods);
  std::vector<std::string> bound;
  context.SetFieldBinder([&bound](const std::string& name, TComponent*) { bound.push_back(name); });
  ReadStoredForm(&root, ParseStoredForm(text), context);

  std::vector<std::string> expected = {
      "Root.Count=7 loading",
      // UTF-8 in the description, UTF-16 in the program.
      "A.Label=ａ日本 loading",
      "A.OnFire",
      "Root.Flags=2 members loading",
      "B.Mode=mdFast loading",
      "B holds B1",
      "B1.Count=16 loading",
      "B.Image=TRAYICON loading",
      "loaded Root",
      "loaded A",
      "loaded B",
      "loaded B1",
  };
  EXPECT_EQ(journal, expected) << ShowJournal();
  EXPECT_EQ(bound, (std::vector<std::string>{"A", "B", "B1"}));
  // Every component belongs to the root, nested or not.
  ASSERT_EQ(root.ComponentCount(), 3u);
  EXPECT_EQ(root.Component(2)->Name(), "B1");
  auto* a = static_cast<TJournalComponent*>(root.FindComponent("A"));
  ASSERT_TRUE(a && a->OnFire);
  a->OnFire(a);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(a->IsLoading());
}

TEST_F(Components, ReaderRejectsWhatItCannotApply) {
  struct Row {
    const char* name;
    const char* text;
  } rows[] = {
      {"unknown property", "object R: TJournalComponent\n  Colour = 1\nend\n"},
      {"unknown class", "object R: TJournalComponent\n  object C: TNoSuchClass\n  end\nend\n"},
      {"missing handler", "object R: TJournalComponent\n  OnFire = NoSuchMethod\nend\n"},
      {"missing end", "object R: TJournalComponent\n  Count = 1\n"},
      {"unterminated string", "object R: TJournalComponent\n  Label = 'abc\nend\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TJournalComponent root(nullptr);
    std::vector<PublishedMethod> methods;
    StoredContext context(&root);
    context.SetMethods(&methods);
    EXPECT_THROW(ReadStoredForm(&root, ParseStoredForm(row.text), context), EStoredFormError);
  }
}

}  // namespace
}  // namespace lumek
