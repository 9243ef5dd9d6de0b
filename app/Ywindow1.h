#pragma once
// The horizontal line of the crosshair: a borderless stay-on-top form of one colour.
#include "framework/Forms.h"

namespace lumek {

class TYForm1 : public TForm {
 public:
  explicit TYForm1(TComponent* owner);
  const char* ClassName() const override { return "TYForm1"; }
};

extern TYForm1* YForm1;

}  // namespace lumek
