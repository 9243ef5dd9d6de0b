// The heartbeat's sound call: each file read once by its full path and
// played from memory, asynchronously, without the default sound. A missing,
// empty or corrupt file must hand the user-interface thread back at once, and
// the multimedia library must come from the system directory, never from a
// folder a planted DLL could sit in.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "framework/Platform.h"
#include "framework/Sounds.h"
#include "framework/Strings.h"
#include "tests/support/Recorder.h"
#include "tests/support/Waves.h"

namespace lumek {
namespace {

using test::LittleEndian;
using test::WaveOf;

// A private folder holding the files of one test; the current directory is elsewhere.
class SoundDirectory {
 public:
  explicit SoundDirectory(const std::wstring& leaf) {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp, length) + leaf + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~SoundDirectory() {
    for (const std::wstring& name : files_) ::DeleteFileW((path_ + name).c_str());
    ::RemoveDirectoryW(path_.c_str());
  }
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    HANDLE file = ::CreateFileW((path_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << WideToUtf8(name);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    files_.push_back(name);
    return path_ + name;
  }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

// A RIFF header that promises far more than the file holds.
std::string CorruptWave() {
  std::string bytes = "RIFF\xFF\xFF\xFF\x7FWAVEfmt \x10";
  bytes += std::string(3, '\0');
  bytes += "\x01\x00\x02\x00\x44\xAC\x00\x00";
  bytes += "data\xFF\xFF\xFF\x7F";
  return bytes + std::string(7, '\x80');
}

// Generous: only a call that waits for playback or hangs comes near it.
constexpr DWORD kPromptlyMs = 3000;

TEST(HeartbeatSoundCall, UnplayableFilesHandTheThreadBackPromptly) {
  SoundDirectory directory(L"lumek-sounds.");
  struct Row {
    const char* name;
    std::wstring path;
    bool played;  // handed to the platform at all
  } rows[] = {
      {"empty file", directory.Write(L"heartbeat_left.wav", ""), false},
      {"corrupt RIFF header", directory.Write(L"heartbeat_center.wav", CorruptWave()), false},
      {"file of NUL bytes", directory.Write(L"heartbeat_right.wav", std::string(64, '\0')), false},
      {"missing file", directory.Path() + L"heartbeat_nowhere.wav", false},
      {"a whole wave", directory.Write(L"heartbeat_whole.wav", WaveOf(std::string(800, '\x80'))), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::CallRecorder recorder;
    bool handedOver = false;
    static bool* seen = nullptr;
    seen = &handedOver;
    Platform().PlaySoundW = [](LPCWSTR sound, HMODULE module, DWORD flags) {
      *seen = true;
      return RealPlatform().PlaySoundW(sound, module, flags);
    };
    DWORD start = ::GetTickCount();
    PlaySoundFile(row.path);
    EXPECT_LT(::GetTickCount() - start, kPromptlyMs) << "the sound call blocked the calling thread";
    EXPECT_EQ(handedOver, row.played);
  }
  // The next beat stops whatever is still being tried.
  Platform().PlaySoundW(nullptr, nullptr, SND_ASYNC | SND_NODEFAULT);
}

TEST(HeartbeatSoundCall, EachFileIsReadOnceFromItsFolderWhateverTheCurrentDirectory) {
  SoundDirectory directory(L"Lumek \u00DC\u00E9 \uD55C \U0001F600 ");
  SoundDirectory elsewhere(L"lumek-elsewhere.");
  // A file of the same name in the current directory must not be the one read.
  elsewhere.Write(L"heartbeat_left.wav", WaveOf("current directory"));
  wchar_t saved[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, saved);
  ::SetCurrentDirectoryW(elsewhere.Path().c_str());
  const std::wstring path = directory.Write(L"heartbeat_left.wav", WaveOf("beside the exe"));
  const std::string& bytes = Sounds().Bytes(path);
  EXPECT_EQ(bytes, WaveOf("beside the exe"));
  // Read once: a later change on the disk is not read again, and the bytes stay put.
  directory.Write(L"heartbeat_left.wav", WaveOf("changed"));
  EXPECT_EQ(&Sounds().Bytes(path), &bytes);
  EXPECT_EQ(Sounds().Bytes(path), WaveOf("beside the exe"));
  EXPECT_EQ(Sounds().PathOf(bytes.data()), path);
  EXPECT_EQ(Sounds().PathOf("elsewhere"), L"");
  ::SetCurrentDirectoryW(saved);
}

TEST(WaveImage, OnlyAWaveWhoseChunksAllLieInsideItsBytesIsPlayedFromMemory) {
  const std::string whole = WaveOf("abc");  // odd: a pad byte follows the data
  std::string longerRiff = whole;
  longerRiff.replace(4, 4, LittleEndian(static_cast<uint32_t>(whole.size()), 4));
  std::string longerData = whole;
  longerData.replace(40, 4, LittleEndian(0x7FFFFFFF, 4));
  std::string noData = "RIFF" + LittleEndian(28, 4) + "WAVEfmt " + LittleEndian(16, 4) + std::string(16, '\1');
  struct Row {
    const char* name;
    std::string bytes;
    bool whole;
  } rows[] = {
      {"a whole wave", whole, true},
      {"one with bytes after its RIFF chunk", whole + "tail", true},
      {"empty", "", false},
      {"cut inside the header", whole.substr(0, 10), false},
      {"not RIFF", "RIFX" + whole.substr(4), false},
      {"not WAVE", whole.substr(0, 8) + "AVI " + whole.substr(12), false},
      {"a RIFF chunk longer than the file", longerRiff, false},
      {"a data chunk longer than its RIFF chunk", longerData, false},
      {"cut inside the samples", whole.substr(0, whole.size() - 2), false},
      {"no data chunk", noData, false},
      {"the corrupt header", CorruptWave(), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsWholeWave(row.bytes), row.whole);
  }
}

TEST(HeartbeatSoundCall, MultimediaLibraryComesFromTheSystemDirectory) {
  Platform().PlaySoundW(nullptr, nullptr, SND_ASYNC | SND_NODEFAULT);
  HMODULE winmm = ::GetModuleHandleW(L"winmm.dll");
  ASSERT_NE(winmm, nullptr) << "the seam's first sound call loads winmm";
  wchar_t loaded[MAX_PATH] = {};
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(winmm, loaded, MAX_PATH), 0u);
  UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::wstring expected = std::wstring(system, length) + L"\\winmm.dll";
  std::wstring actual = loaded;
  for (std::wstring* text : {&expected, &actual}) {
    for (wchar_t& c : *text) c = static_cast<wchar_t>(std::towlower(c));
  }
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace lumek
