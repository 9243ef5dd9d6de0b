#pragma once
// A plain form for the tray tests, made in code or read from a stored
// description text that the test writes itself.
#include <memory>
#include <string>
#include <vector>

#include "framework/FormReader.h"
#include "framework/Forms.h"

namespace lumek::test {

class TTrayTestForm : public TForm {
 public:
  using TForm::TForm;
  const wchar_t* ClassName() const override { return L"TTrayTestForm"; }

  // Reads `description` (an object of class TTrayTestForm) into this form,
  // binding handler names to `methods`.
  void Read(const std::string& description, const std::vector<PublishedMethod>& methods = {}) {
    StoredContext context(this);
    context.SetMethods(&methods);
    ReadStoredForm(this, ParseStoredForm(description), context);
  }
};

inline StoredValue Identifier(const std::string& name) {
  StoredValue value;
  value.kind = StoredValue::Kind::Identifier;
  value.text = name;
  return value;
}

// A form whose style is set the way a stored description sets it.
inline std::unique_ptr<TTrayTestForm> FormWithStyle(const char* style) {
  auto form = std::make_unique<TTrayTestForm>(nullptr);
  StoredContext context(form.get());
  form->SetStoredProperty("FormStyle", Identifier(style), context);
  return form;
}

}  // namespace lumek::test
