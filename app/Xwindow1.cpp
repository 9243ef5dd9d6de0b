#include "app/Xwindow1.h"

#include "framework/FormReader.h"

namespace lumek {

TXForm1* XForm1 = nullptr;

TXForm1::TXForm1(TComponent* owner) : TForm(owner) {
  StoredContext context(this);
  ReadStoredForm(this, "XFORM1", context);
  AfterConstruction();
}

}  // namespace lumek
