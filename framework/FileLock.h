#pragma once
// Lets processes that share one file take turns with it: a named mutex per
// file, held for as long as the holder lives.
#include <windows.h>

#include <string>

#include "framework/Handles.h"

namespace lumek {

// An acquired mutex: released, then closed, through the platform seam.
struct HeldMutexTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle mutex) noexcept;
};
using FileLock = UniqueHandle<HeldMutexTraits>;

// Waits at most `timeoutMs` for the turn of the file at `path` (any spelling
// of it). A holder that ended without letting go hands its turn over: what it
// left half written is no worse than without a lock. When the mutex cannot be
// made or the wait runs out, the result holds nothing and the caller goes
// ahead unguarded, as it would have without a lock.
FileLock LockFile(const std::wstring& path, DWORD timeoutMs);

}  // namespace lumek
