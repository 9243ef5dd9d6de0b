// The heartbeat's sound call through the seam: bare file names, started
// asynchronously without the default sound. A missing, empty or corrupt file
// must hand the user-interface thread back at once, and the
// multimedia library must come from the system directory, never from a
// folder a planted DLL could sit in.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "framework/Platform.h"

namespace lumek {
namespace {

// A private current directory holding the files of one row.
class SoundDirectory {
 public:
  SoundDirectory() {
    char temp[MAX_PATH];
    DWORD length = ::GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp, length) + "lumek-sounds." + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(path_.c_str(), nullptr);
    ::GetCurrentDirectoryA(MAX_PATH, saved_);
    ::SetCurrentDirectoryA(path_.c_str());
  }
  ~SoundDirectory() {
    ::SetCurrentDirectoryA(saved_);
    for (const std::string& name : files_) ::DeleteFileA((path_ + "\\" + name).c_str());
    ::RemoveDirectoryA(path_.c_str());
  }
  void Write(const std::string& name, const std::string& bytes) {
    HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    files_.push_back(name);
  }

 private:
  std::string path_;
  char saved_[MAX_PATH] = {};
  std::vector<std::string> files_;
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
  SoundDirectory directory;
  directory.Write("heartbeat_left.wav", "");
  directory.Write("heartbeat_center.wav", CorruptWave());
  directory.Write("heartbeat_right.wav", std::string(64, '\0'));
  struct Row {
    const char* name;
    const char* sound;
  } rows[] = {
      {"empty file", "heartbeat_left.wav"},
      {"corrupt RIFF header", "heartbeat_center.wav"},
      {"file of NUL bytes", "heartbeat_right.wav"},
      {"missing file", "heartbeat_nowhere.wav"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DWORD start = ::GetTickCount();
    Platform().sndPlaySoundA(row.sound, SND_ASYNC | SND_NODEFAULT);
    EXPECT_LT(::GetTickCount() - start, kPromptlyMs) << "the sound call blocked the calling thread";
  }
  // The next beat stops whatever is still being tried.
  Platform().sndPlaySoundA(nullptr, SND_ASYNC | SND_NODEFAULT);
}

TEST(HeartbeatSoundCall, MultimediaLibraryComesFromTheSystemDirectory) {
  Platform().sndPlaySoundA(nullptr, SND_ASYNC | SND_NODEFAULT);
  HMODULE winmm = ::GetModuleHandleA("winmm.dll");
  ASSERT_NE(winmm, nullptr) << "the seam's first sound call loads winmm";
  char loaded[MAX_PATH] = {};
  char system[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameA(winmm, loaded, MAX_PATH), 0u);
  UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string expected = std::string(system, length) + "\\winmm.dll";
  std::string actual = loaded;
  for (std::string* text : {&expected, &actual}) {
    for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace lumek
