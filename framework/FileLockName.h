#pragma once
// The name of the mutex through which processes take turns with one file.
// Pure, so every copy of the program, of whatever version, derives the same
// name from the same file.
#include <string>

namespace lumek {

// "LumekFileLock." and sixteen lower-case hexadecimal digits: the 64-bit
// FNV-1a hash of the folded path's UTF-16 code units, each taken as its two
// bytes, low byte first. A hash rather than the path itself, because a mutex
// name may hold no backslash and is shorter than the longest path.
std::string FileLockName(const std::wstring& foldedPath);

}  // namespace lumek
