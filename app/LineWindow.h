#pragma once
// A line of the crosshair: a borderless stay-on-top form of one colour. The
// vertical and the horizontal line are two of them, each made from its own
// stored description and registered under its own window-class name.
#include "framework/Forms.h"

namespace lumek {

class TLineForm : public TForm {
 public:
  // `resourceName` names the stored description; `className` the window class.
  TLineForm(TComponent* owner, const wchar_t* resourceName, const wchar_t* className);
  const wchar_t* ClassName() const override { return className_; }

 protected:
  // Never activated and never in the way of the pointer: every pixel hands
  // clicks, the wheel and hovering to the window below.
  WindowStyles CreationStyles() const override;

 private:
  const wchar_t* className_;
};

// The vertical line.
TLineForm* NewXForm1(TComponent* owner);
// The horizontal line.
TLineForm* NewYForm1(TComponent* owner);

extern TLineForm* XForm1;
extern TLineForm* YForm1;

}  // namespace lumek
