#include "framework/Sounds.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "framework/Handles.h"
#include "framework/Platform.h"

namespace lumek {

namespace {

// Far above any heartbeat; a larger file is not a sound Lumek plays.
constexpr DWORD kLargestSound = 16 * 1024 * 1024;

std::string ReadWholeFile(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kLargestSound) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};
  bytes.resize(read);
  return bytes;
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

bool IsWholeWave(const std::string& bytes) {
  constexpr size_t kHeader = 12;
  if (bytes.size() < kHeader || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
  const uint64_t riffEnd = 8ull + LittleEndian32(bytes, 4);
  if (riffEnd > bytes.size()) return false;
  bool format = false;
  bool data = false;
  for (uint64_t at = kHeader; at + 8 <= riffEnd;) {
    const uint64_t size = LittleEndian32(bytes, static_cast<size_t>(at) + 4);
    if (at + 8 + size > riffEnd) return false;
    format = format || bytes.compare(static_cast<size_t>(at), 4, "fmt ") == 0;
    data = data || bytes.compare(static_cast<size_t>(at), 4, "data") == 0;
    at += 8 + size + (size & 1);  // chunks start on even offsets
  }
  return format && data;
}

const std::string& SoundFiles::Bytes(const std::wstring& path) {
  std::string& bytes = files_[path];
  if (bytes.empty()) {
    bytes = ReadWholeFile(path);
    if (!IsWholeWave(bytes)) bytes.clear();
  }
  return bytes;
}

std::wstring SoundFiles::PathOf(const void* data) const {
  for (const auto& [path, bytes] : files_) {
    if (!bytes.empty() && bytes.data() == data) return path;
  }
  return {};
}

SoundFiles& Sounds() {
  static SoundFiles sounds;
  return sounds;
}

bool PlaySoundFile(const std::wstring& path) {
  const std::string& bytes = Sounds().Bytes(path);
  if (bytes.empty()) return false;
  // SND_MEMORY: the "name" is the file's image, which stays put for the process's life.
  return Platform().PlaySoundW(reinterpret_cast<LPCWSTR>(bytes.data()), nullptr,
                               SND_MEMORY | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

}  // namespace lumek
