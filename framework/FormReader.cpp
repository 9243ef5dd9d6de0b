#include "framework/FormReader.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "framework/Exceptions.h"
#include "framework/Strings.h"

namespace lumek {

bool StoredValue::AsBool() const {
  if (kind == Kind::Identifier && text == "True") return true;
  if (kind == Kind::Identifier && text == "False") return false;
  throw EStoredFormError("boolean expected, found " + text);
}

int32_t StoredValue::AsInt() const {
  if (kind != Kind::Integer) throw EStoredFormError("integer expected, found " + text);
  return static_cast<int32_t>(integer);
}

const std::string& StoredValue::AsIdentifier() const {
  if (kind != Kind::Identifier) throw EStoredFormError("identifier expected, found " + text);
  return text;
}

const std::wstring& StoredValue::AsString() const {
  if (kind != Kind::String) throw EStoredFormError("string expected, found " + text);
  return string;
}

int StoredEnumIndex(const StoredValue& value, std::initializer_list<const char*> names) {
  int index = 0;
  for (const char* name : names) {
    if (value.AsIdentifier() == name) return index;
    ++index;
  }
  throw EStoredFormError("unknown value " + value.text);
}

uint8_t StoredSetBits(const StoredValue& value, std::initializer_list<std::pair<const char*, uint8_t>> members) {
  if (value.kind != StoredValue::Kind::Set) throw EStoredFormError("set expected, found " + value.text);
  uint8_t bits = 0;
  for (const std::string& member : value.members) {
    auto found = std::find_if(members.begin(), members.end(), [&member](const auto& known) { return member == known.first; });
    if (found == members.end()) throw EStoredFormError("unknown value " + member);
    bits |= found->second;
  }
  return bits;
}

const PublishedHandler& StoredContext::Find(const std::string& name) const {
  if (methods_) {
    for (const PublishedMethod& method : *methods_) {
      if (name == method.name) return method.handler;
    }
  }
  throw EStoredFormError("no published method " + name);
}

namespace {

template <typename Handler>
Handler TakeHandler(const PublishedHandler& handler, const std::string& name) {
  if (const Handler* h = std::get_if<Handler>(&handler)) return *h;
  throw EStoredFormError("published method " + name + " has the wrong signature");
}

}  // namespace

TNotifyEvent StoredContext::NotifyHandler(const StoredValue& value) const {
  return TakeHandler<TNotifyEvent>(Find(value.AsIdentifier()), value.text);
}
TMouseEvent StoredContext::MouseHandler(const StoredValue& value) const {
  return TakeHandler<TMouseEvent>(Find(value.AsIdentifier()), value.text);
}
TMouseMoveEvent StoredContext::MouseMoveHandler(const StoredValue& value) const {
  return TakeHandler<TMouseMoveEvent>(Find(value.AsIdentifier()), value.text);
}
TCloseEvent StoredContext::CloseHandler(const StoredValue& value) const {
  return TakeHandler<TCloseEvent>(Find(value.AsIdentifier()), value.text);
}

namespace {

std::map<std::string, ComponentFactory>& Registry() {
  static std::map<std::string, ComponentFactory> registry;
  return registry;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  StoredObject ParseDocument() {
    StoredObject root = ParseObject();
    SkipSpace();
    if (pos_ != text_.size()) Fail("text after the last end");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw EStoredFormError("stored form, line " + std::to_string(line_) + ": " + what);
  }

  void SkipSpace() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '#') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  static bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
  static bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

  std::string Identifier() {
    SkipSpace();
    if (pos_ >= text_.size() || !IsIdentStart(text_[pos_])) Fail("identifier expected");
    size_t start = pos_;
    while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  void Expect(char c) {
    SkipSpace();
    if (pos_ >= text_.size() || text_[pos_] != c) Fail(std::string("'") + c + "' expected");
    ++pos_;
  }

  StoredValue Value() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("value expected");
    StoredValue value;
    char c = text_[pos_];
    if (c == '\'') {
      value.kind = StoredValue::Kind::String;
      std::string utf8;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size() || text_[pos_] == '\n') Fail("unterminated string");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            utf8 += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        utf8 += text_[pos_++];
      }
      value.string = Utf8ToWide(utf8);
    } else if (c == '[') {
      value.kind = StoredValue::Kind::Set;
      ++pos_;
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
      } else {
        for (;;) {
          value.members.push_back(Identifier());
          SkipSpace();
          if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
          }
          Expect(']');
          break;
        }
      }
    } else if (c == '@') {
      ++pos_;
      value.kind = StoredValue::Kind::Resource;
      value.text = Identifier();
    } else if (c == '-' || c == '$' || std::isdigit(static_cast<unsigned char>(c))) {
      value.kind = StoredValue::Kind::Integer;
      bool negative = c == '-';
      if (negative) ++pos_;
      int base = 10;
      if (pos_ < text_.size() && text_[pos_] == '$') {
        base = 16;
        ++pos_;
      }
      size_t start = pos_;
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      if (start == pos_) Fail("digits expected");
      value.text = text_.substr(start, pos_ - start);
      value.integer = static_cast<int64_t>(std::stoull(value.text, nullptr, base));
      if (negative) value.integer = -value.integer;
    } else {
      value.kind = StoredValue::Kind::Identifier;
      value.text = Identifier();
    }
    return value;
  }

  StoredObject ParseObject() {
    if (Identifier() != "object") Fail("object expected");
    StoredObject object;
    object.name = Identifier();
    Expect(':');
    object.className = Identifier();
    for (;;) {
      SkipSpace();
      size_t save = pos_;
      int saveLine = line_;
      std::string word = Identifier();
      if (word == "end") return object;
      if (word == "object") {
        pos_ = save;
        line_ = saveLine;
        object.children.push_back(ParseObject());
        StoredObject::Entry entry;
        entry.child = object.children.size() - 1;
        object.entries.push_back(std::move(entry));
        continue;
      }
      Expect('=');
      StoredObject::Entry entry;
      entry.property = word;
      entry.value = Value();
      object.entries.push_back(std::move(entry));
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
};

void Apply(TComponent* root, TComponent* target, const StoredObject& description, StoredContext& context,
           std::vector<TComponent*>& loaded) {
  for (const StoredObject::Entry& entry : description.entries) {
    if (!entry.property.empty()) {
      target->SetStoredProperty(entry.property, entry.value, context);
      continue;
    }
    const StoredObject& childDescription = description.children[entry.child];
    auto factory = Registry().find(childDescription.className);
    if (factory == Registry().end()) throw EStoredFormError("unknown class " + childDescription.className);
    // Every component belongs to the form; nesting only says who holds it.
    TComponent* child = factory->second(root);
    child->SetName(childDescription.name);
    child->SetLoading(true);
    loaded.push_back(child);
    context.BindField(childDescription.name, child);
    if (target != root) target->AddStoredChild(child);
    Apply(root, child, childDescription, context, loaded);
  }
}

}  // namespace

void RegisterStoredClass(const std::string& className, ComponentFactory factory) { Registry()[className] = factory; }

bool IsStoredClassRegistered(const std::string& className) { return Registry().count(className) != 0; }

StoredObject ParseStoredForm(const std::string& utf8Text) { return Parser(utf8Text).ParseDocument(); }

std::string LoadRcData(const wchar_t* resourceName) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(module, resourceName, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!info) throw EStoredFormError(L"missing resource " + std::wstring(resourceName));
  HGLOBAL data = ::LoadResource(module, info);
  const char* bytes = static_cast<const char*>(::LockResource(data));
  return std::string(bytes, ::SizeofResource(module, info));
}

void ReadStoredForm(TComponent* root, const StoredObject& description, StoredContext& context) {
  std::vector<TComponent*> loaded{root};
  root->SetLoading(true);
  Apply(root, root, description, context, loaded);
  for (TComponent* component : loaded) component->Loaded();
}

void ReadStoredForm(TComponent* root, const wchar_t* resourceName, StoredContext& context) {
  ReadStoredForm(root, ParseStoredForm(LoadRcData(resourceName)), context);
}

}  // namespace lumek
