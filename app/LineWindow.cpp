#include "app/LineWindow.h"

#include "framework/FormReader.h"

namespace lumek {

TLineForm* XForm1 = nullptr;
TLineForm* YForm1 = nullptr;

TLineForm::TLineForm(TComponent* owner, const wchar_t* resourceName, const wchar_t* className)
    : TForm(owner), className_(className) {
  StoredContext context(this);
  ReadStoredForm(this, resourceName, context);
  AfterConstruction();
}

WindowStyles TLineForm::CreationStyles() const {
  WindowStyles styles = TForm::CreationStyles();
  styles.exStyle |= WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT;
  return styles;
}

TLineForm* NewXForm1(TComponent* owner) { return new TLineForm(owner, L"XFORM1", L"TXForm1"); }
TLineForm* NewYForm1(TComponent* owner) { return new TLineForm(owner, L"YFORM1", L"TYForm1"); }

}  // namespace lumek
