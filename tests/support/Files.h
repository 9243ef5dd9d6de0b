#pragma once
// Files for tests by UTF-16 path (any length in the \\?\ form), and refusals
// to put in the seam's file entries.
#include <windows.h>

#include <string>

namespace lumek::test {

// The file's bytes; empty when it cannot be opened.
std::string FileBytes(const std::wstring& path);
// Creates or replaces the file with exactly these bytes; false when it cannot be created.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// A copy the platform refused with `Error` as the last error.
template <DWORD Error>
BOOL RefuseCopy(LPCWSTR, LPCWSTR, BOOL) {
  ::SetLastError(Error);
  return FALSE;
}

}  // namespace lumek::test
