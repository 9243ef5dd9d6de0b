#include "framework/FileLockName.h"

#include <cstdint>

namespace lumek {

namespace {

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t FnvStep(uint64_t hash, unsigned byte) { return (hash ^ byte) * kFnvPrime; }

}  // namespace

std::string FileLockName(const std::wstring& foldedPath) {
  uint64_t hash = kFnvOffsetBasis;
  for (wchar_t unit : foldedPath) {
    const auto code = static_cast<uint16_t>(unit);
    hash = FnvStep(hash, code & 0xFFu);
    hash = FnvStep(hash, code >> 8);
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string name = "LumekFileLock.";
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xFu];
  return name;
}

}  // namespace lumek
