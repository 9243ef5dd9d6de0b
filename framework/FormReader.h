#pragma once
// Stored form descriptions: a text resource per form that lists, in order,
// the form's own properties and the components it owns with theirs. The
// reader creates each component, applies every property through the
// component's setter in stored order, binds handlers by name and calls
// Loaded on everything it read once the description is complete.
//
//   object XForm1: TXForm1
//     Left = 0
//     Caption = 'XForm1'
//     FormStyle = fsStayOnTop
//     object Timer1: THiTimer
//       OnTimer = Timer1Timer
//     end
//   end
//
// Values: integers (42, -1, $FF), strings ('text', '' for a quote; UTF-8 in
// the file, UTF-16 in the program), identifiers (True, clRed,
// handler names), sets ([maBottomToTop]) and resource references (@TRAYICON).
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "framework/Classes.h"

namespace lumek {

struct StoredValue {
  enum class Kind { Integer, String, Identifier, Set, Resource };
  Kind kind = Kind::Integer;
  int64_t integer = 0;
  std::string text;                  // identifier, resource name or integer digits
  std::wstring string;               // a string
  std::vector<std::string> members;  // set members

  bool AsBool() const;                       // True or False
  int32_t AsInt() const;                     // an integer in 32 bits
  const std::string& AsIdentifier() const;   // any identifier
  const std::wstring& AsString() const;      // a string
};

// The index of a stored identifier among `names` (an enum in declaration order).
int StoredEnumIndex(const StoredValue& value, std::initializer_list<const char*> names);
template <typename Enum>
Enum StoredEnum(const StoredValue& value, std::initializer_list<const char*> names) {
  return static_cast<Enum>(StoredEnumIndex(value, names));
}

// The bits of a stored set whose members are named in `members`.
uint8_t StoredSetBits(const StoredValue& value, std::initializer_list<std::pair<const char*, uint8_t>> members);

using PublishedHandler = std::variant<TNotifyEvent, TMouseEvent, TMouseMoveEvent, TCloseEvent>;

struct PublishedMethod {
  const char* name;
  PublishedHandler handler;
};

// What a component's property setter may ask of the reader.
class StoredContext {
 public:
  explicit StoredContext(TComponent* root) : root_(root) {}
  TComponent* Root() const { return root_; }
  TNotifyEvent NotifyHandler(const StoredValue& value) const;
  TMouseEvent MouseHandler(const StoredValue& value) const;
  TMouseMoveEvent MouseMoveHandler(const StoredValue& value) const;
  TCloseEvent CloseHandler(const StoredValue& value) const;

  // The forms publish their handlers through this table.
  virtual ~StoredContext() = default;
  void SetMethods(const std::vector<PublishedMethod>* methods) { methods_ = methods; }
  void SetFieldBinder(std::function<void(const std::string&, TComponent*)> binder) { binder_ = std::move(binder); }
  void BindField(const std::string& name, TComponent* component) const {
    if (binder_) binder_(name, component);
  }

 private:
  const PublishedHandler& Find(const std::string& name) const;
  TComponent* root_;
  const std::vector<PublishedMethod>* methods_ = nullptr;
  std::function<void(const std::string&, TComponent*)> binder_;
};

using ComponentFactory = TComponent* (*)(TComponent* owner);
void RegisterStoredClass(const std::string& className, ComponentFactory factory);
bool IsStoredClassRegistered(const std::string& className);

template <typename T>
void RegisterStoredClass(const std::string& className) {
  RegisterStoredClass(className, [](TComponent* owner) -> TComponent* { return new T(owner); });
}

// One parsed description; exposed so tests can check the parser on its own.
struct StoredObject {
  std::string name;
  std::string className;
  struct Entry {
    std::string property;  // empty for a nested object
    StoredValue value;
    size_t child = 0;      // index into children when property is empty
  };
  std::vector<Entry> entries;
  std::vector<StoredObject> children;
};

StoredObject ParseStoredForm(const std::string& utf8Text);

// Reads the RCDATA resource `resourceName` into `root`.
void ReadStoredForm(TComponent* root, const wchar_t* resourceName, StoredContext& context);
void ReadStoredForm(TComponent* root, const StoredObject& description, StoredContext& context);

// The bytes of an RCDATA resource of the running module.
std::string LoadRcData(const wchar_t* resourceName);

}  // namespace lumek
