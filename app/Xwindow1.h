#pragma once
// The vertical line of the crosshair: a borderless stay-on-top form of one colour.
#include "framework/Forms.h"

namespace lumek {

class TXForm1 : public TForm {
 public:
  explicit TXForm1(TComponent* owner);
  const char* ClassName() const override { return "TXForm1"; }
};

extern TXForm1* XForm1;

}  // namespace lumek
