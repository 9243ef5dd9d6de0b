#pragma once
// Move-only owners of Win32 handles. Each kind names how it is released.
#include <windows.h>

#include <utility>

namespace lumek {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
// A file: CreateFileW reports failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct WindowHandleTraits {
  using Handle = HWND;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
struct IconHandleTraits {
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
struct MenuHandleTraits {
  using Handle = HMENU;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};
struct ModuleHandleTraits {
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueWindow = UniqueHandle<WindowHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueIcon = UniqueHandle<IconHandleTraits>;
using UniqueMenu = UniqueHandle<MenuHandleTraits>;
using UniqueModule = UniqueHandle<ModuleHandleTraits>;

// A critical section that lives as long as its owner; not movable because
// waiting threads hold its address.
class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() noexcept { ::EnterCriticalSection(&section_); }
  void Leave() noexcept { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) noexcept : section_(section) { section_.Enter(); }
  ~CriticalSectionLock() { section_.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& section_;
};

}  // namespace lumek
