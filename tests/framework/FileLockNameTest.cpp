// The mutex name rule. The expected names come from an independent FNV-1a
// implementation; they are pinned because copies of different versions
// sharing one folder must still derive the same name.
#include <gtest/gtest.h>

#include <string>

#include "framework/FileLockName.h"

namespace lumek {
namespace {

TEST(FileLockName, IsThePrefixAndTheHashOfBothBytesOfEveryUnit) {
  struct Row {
    const char* name;
    std::wstring foldedPath;
    std::string lockName;
  } rows[] = {
      {"empty: the hash's offset basis", L"", "LumekFileLock.cbf29ce484222325"},
      {"one letter: its byte and a zero high byte", L"A", "LumekFileLock.0908a207b5a15704"},
      {"a full-width letter differs from the ASCII sign sharing its low byte", L"\xFF21",
       "LumekFileLock.07c1c907b48b23a9"},
      {"that ASCII sign", L"!", "LumekFileLock.07c26207b48c27a4"},
      {"a folded settings path: its backslashes stay out of the name", L"C:\\TOOLS\\LUMEK.INI",
       "LumekFileLock.3f6c77756c58c7dd"},
      {"a path longer than a mutex name may be", L"C:\\" + std::wstring(300, L'D') + L"\\LUMEK.INI",
       "LumekFileLock.e4fe5c26b19baf26"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FileLockName(row.foldedPath), row.lockName);
  }
}

}  // namespace
}  // namespace lumek
