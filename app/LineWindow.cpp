#include "app/LineWindow.h"

#include "framework/FormReader.h"

namespace lumek {

TLineForm* XForm1 = nullptr;
TLineForm* YForm1 = nullptr;

TLineForm::TLineForm(TComponent* owner, const char* resourceName, const char* className)
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

TLineForm* NewXForm1(TComponent* owner) { return new TLineForm(owner, "XFORM1", "TXForm1"); }
TLineForm* NewYForm1(TComponent* owner) { return new TLineForm(owner, "YFORM1", "TYForm1"); }

}  // namespace lumek
