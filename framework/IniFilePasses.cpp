#include "framework/IniFilePasses.h"

#include <windows.h>

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Platform.h"
#include "framework/Strings.h"

namespace lumek {

namespace {

// Beside the file, so the replace is a rename within one folder.
constexpr wchar_t kNewFileSuffix[] = L".new";

// Some systems' profile functions copy the path into a MAX_PATH buffer and
// cannot open a longer one.
bool ProfileFunctionsOpen(const std::wstring& path) { return path.size() < MAX_PATH; }

// The spelling the file functions take at any length.
std::wstring ExtendedPath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

EIniFileException WriteError(const std::wstring& path) {
  return EIniFileException(FormatMessageId(IDS_INI_WRITE_ERROR, path.c_str()));
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// A file of the pass's own in the temp folder, gone when the pass ends.
class TempFile {
 public:
  TempFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length > 0 && length <= MAX_PATH && ::GetTempFileNameW(folder, L"lmk", 0, name)) path_ = name;
  }
  ~TempFile() {
    if (!path_.empty()) Platform().DeleteFileW(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Empty when the temp folder took no file.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

enum class Start { kCopied, kNoFileYet, kFolderRefuses, kFailed };

// The pass's file as a copy of `source`; a leftover at `copy` is replaced
// either way.
Start StartFrom(const std::wstring& source, const std::wstring& copy) {
  if (Platform().CopyFileW(source.c_str(), copy.c_str(), FALSE)) return Start::kCopied;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) {
    Platform().DeleteFileW(copy.c_str());
    return Start::kNoFileYet;
  }
  return error == ERROR_ACCESS_DENIED ? Start::kFolderRefuses : Start::kFailed;
}

// The written bytes reach the disk before the rename that makes them the
// file: otherwise a power cut can leave the new name on an empty file.
void FlushToDisk(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  UniqueKernelHandle owner(file);
  ::FlushFileBuffers(file);
}

// Runs `writes` on `work`; any refusal is reported as a refusal of `path`.
void RunWrites(const ProfilePass& writes, const std::wstring& work, const std::wstring& path) {
  try {
    writes(work);
  } catch (const EIniFileException&) {
    throw WriteError(path);
  }
}

}  // namespace

void ReadIniFilePass(const std::wstring& path, const ProfilePass& reads) {
  if (ProfileFunctionsOpen(path)) {
    reads(path);
    return;
  }
  TempFile work;
  if (work.Path().empty()) throw WriteError(path);
  const Start start = StartFrom(ExtendedPath(path), work.Path());
  if (start != Start::kCopied && start != Start::kNoFileYet) throw WriteError(path);
  reads(work.Path());
}

void WriteIniFilePass(const std::wstring& path, const ProfilePass& writes) {
  const bool direct = ProfileFunctionsOpen(path);
  const std::wstring target = direct ? path : ExtendedPath(path);
  if (IsReadOnly(target)) throw WriteError(path);
  const std::wstring fresh = target + kNewFileSuffix;
  try {
    if (direct) {
      const Start start = StartFrom(target, fresh);
      if (start == Start::kFolderRefuses) {
        writes(path);
        return;
      }
      if (start == Start::kFailed) throw WriteError(path);
      RunWrites(writes, fresh, path);
    } else {
      TempFile work;
      if (work.Path().empty()) throw WriteError(path);
      const Start start = StartFrom(target, work.Path());
      if (start != Start::kCopied && start != Start::kNoFileYet) throw WriteError(path);
      RunWrites(writes, work.Path(), path);
      if (!Platform().CopyFileW(work.Path().c_str(), fresh.c_str(), FALSE)) throw WriteError(path);
    }
    FlushToDisk(fresh);
    if (!Platform().MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      // A file another program holds open without letting it be replaced, or
      // a folder that lets files be made but not removed, may still take the
      // writes in place, as every save did before the one-step replace.
      const DWORD error = ::GetLastError();
      if (!direct || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) throw WriteError(path);
      Platform().DeleteFileW(fresh.c_str());
      writes(path);
    }
  } catch (const EIniFileException&) {
    Platform().DeleteFileW(fresh.c_str());
    throw;
  }
}

}  // namespace lumek
