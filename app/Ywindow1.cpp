#include "app/Ywindow1.h"

#include "framework/FormReader.h"

namespace lumek {

TYForm1* YForm1 = nullptr;

TYForm1::TYForm1(TComponent* owner) : TForm(owner) {
  StoredContext context(this);
  ReadStoredForm(this, "YFORM1", context);
  AfterConstruction();
}

}  // namespace lumek
