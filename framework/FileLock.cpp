#include "framework/FileLock.h"

#include "framework/FileLockName.h"
#include "framework/Platform.h"
#include "framework/Strings.h"

namespace lumek {

void HeldMutexTraits::Close(Handle mutex) noexcept {
  Platform().ReleaseMutex(mutex);
  Platform().CloseHandle(mutex);
}

FileLock LockFile(const std::wstring& path, DWORD timeoutMs) {
  const std::wstring name = Utf8ToWide(FileLockName(FoldedPath(path)));
  HANDLE mutex = Platform().CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) return FileLock();
  const DWORD waited = Platform().WaitForSingleObject(mutex, timeoutMs);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return FileLock(mutex);
  Platform().CloseHandle(mutex);
  return FileLock();
}

}  // namespace lumek
