#pragma once
// Typed access to an INI-layout settings file. The object is bound to one
// path (UTF-16) and keeps nothing else: every operation names the file, and
// the platform's profile functions do the parsing, caching and rewriting.
// Sections, keys and values are UTF-8 text; Lumek's own are ASCII.
#include <cstdint>
#include <string>

#include "framework/Classes.h"

namespace lumek {

// The integer text rule of settings files: leading spaces, one optional
// sign, then decimal digits or a hexadecimal number introduced by "$", "x",
// "X", "0x" or "0X". Hexadecimal takes the 32 bits as signed and ignores the
// sign. False (value untouched) for anything else, the empty text included.
bool IniTextToInteger(const std::string& text, int32_t& value);

// The typed operations, written once over the two string operations, so
// any storage derived from this class gets them unchanged.
class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(std::wstring fileName) : fileName_(std::move(fileName)) {}

  const std::wstring& FileName() const { return fileName_; }

  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const = 0;
  virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;

  // The default when the key is missing or its text does not convert.
  virtual int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
  virtual void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  // Read as an integer: any value but 0 is true.
  virtual bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
  // Writes "1" or "0", the only boolean texts ever written.
  virtual void WriteBool(const std::string& section, const std::string& key, bool value);

 private:
  const std::wstring fileName_;
};

// Over GetPrivateProfileStringW / WritePrivateProfileStringW, so the file may
// lie in any folder. The platform keeps the file's own encoding: a new file
// and one an earlier build wrote stay ANSI, a UTF-16 file stays UTF-16. A
// failed write raises EIniFileException naming the file; reads never fail.
class TIniFile : public TCustomIniFile {
 public:
  // Does not touch the disk; the file need not exist.
  explicit TIniFile(std::wstring fileName) : TCustomIniFile(std::move(fileName)) {}
  // Asks the platform to write out its cached copy; the outcome is ignored.
  ~TIniFile() override;

  // A value longer than the 2047 units the read buffer holds comes back cut.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const override;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

  void FlushFile() noexcept;
};

}  // namespace lumek
