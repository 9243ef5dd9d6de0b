#include "app/Mainwindow1.h"

#include "framework/Application.h"
#include "framework/TextRules.h"

namespace lumek {

TMainForm1* MainForm1 = nullptr;

namespace {

// The component classes the stored descriptions of Lumek's forms name.
void RegisterLumekStoredClasses() {
}

template <typename T>
bool BindFieldOfType(T*& field, const char* fieldName, const std::string& name, TComponent* component) {
  if (name != fieldName) return false;
  field = dynamic_cast<T*>(component);
  return true;
}

}  // namespace

TMainForm1::TMainForm1(TComponent* owner) : TForm(owner) {
  RegisterLumekStoredClasses();
  std::vector<PublishedMethod> methods = PublishedMethods();
  StoredContext context(this);
  context.SetMethods(&methods);
  context.SetFieldBinder([this](const std::string& name, TComponent* component) { BindField(name, component); });
  ReadStoredForm(this, "MAINFORM1", context);

  ExeDir = ExtractFileDir(ModuleFileName());
  CenterX = Screen->Width() / 2;
  CenterY = Screen->Height() / 2;
  AfterConstruction();
}

TMainForm1::~TMainForm1() = default;

std::vector<PublishedMethod> TMainForm1::PublishedMethods() {
  auto notify = [this](void (TMainForm1::*method)(TObject*)) -> PublishedHandler {
    return TNotifyEvent([this, method](TObject* sender) { (this->*method)(sender); });
  };
  return {
      {"X1Click", notify(&TMainForm1::X1Click)},
      {"N1Click", notify(&TMainForm1::N1Click)},
      {"N9Click", notify(&TMainForm1::N9Click)},
      {"N8Click", notify(&TMainForm1::N8Click)},
      {"N2Click", notify(&TMainForm1::N2Click)},
      {"N5Click", notify(&TMainForm1::N5Click)},
      {"N6Click", notify(&TMainForm1::N6Click)},
      {"N11Click", notify(&TMainForm1::N11Click)},
      {"N12Click", notify(&TMainForm1::N12Click)},
      {"Timer2Timer", notify(&TMainForm1::Timer2Timer)},
      {"FormClose", TCloseEvent([this](TObject* sender, TCloseAction& action) { FormClose(sender, action); })},
      {"N14Click", notify(&TMainForm1::N14Click)},
      {"N15Click", notify(&TMainForm1::N15Click)},
      {"N16Click", notify(&TMainForm1::N16Click)},
      {"N17Click", notify(&TMainForm1::N17Click)},
      {"FormCreate", notify(&TMainForm1::FormCreate)},
      {"N21Click", notify(&TMainForm1::N21Click)},
      {"N22Click", notify(&TMainForm1::N22Click)},
      {"N19Click", notify(&TMainForm1::N19Click)},
      {"Timer1Timer", notify(&TMainForm1::Timer1Timer)},
      {"Timer3Timer", notify(&TMainForm1::Timer3Timer)},
      {"TrayIcon1MouseDown",
       TMouseEvent([this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
         TrayIcon1MouseDown(sender, button, shift, x, y);
       })},
  };
}

void TMainForm1::BindField(const std::string& name, TComponent* component) {
  (void)name;
  (void)component;
}

void TMainForm1::FormCreate(TObject*) {}
void TMainForm1::FormClose(TObject*, TCloseAction&) {}
void TMainForm1::X1Click(TObject*) { RequestClose(); }
void TMainForm1::N1Click(TObject*) {}
void TMainForm1::N9Click(TObject*) {}
void TMainForm1::N8Click(TObject*) {}
void TMainForm1::N2Click(TObject*) {}
void TMainForm1::N5Click(TObject*) {}
void TMainForm1::N6Click(TObject*) {}
void TMainForm1::N11Click(TObject*) {}
void TMainForm1::N12Click(TObject*) {}
void TMainForm1::Timer2Timer(TObject*) {}
void TMainForm1::N14Click(TObject*) {}
void TMainForm1::N15Click(TObject*) {}
void TMainForm1::N16Click(TObject*) {}
void TMainForm1::N17Click(TObject*) {}
void TMainForm1::N21Click(TObject*) {}
void TMainForm1::N22Click(TObject*) {}
void TMainForm1::N19Click(TObject*) {}
void TMainForm1::Timer1Timer(TObject*) {}
void TMainForm1::Timer3Timer(TObject*) {}
void TMainForm1::TrayIcon1MouseDown(TObject*, TMouseButton, TShiftState, int, int) {}

}  // namespace lumek
