#pragma once
// Sound files played from memory. A file is read once, by its full path, and
// handed to the platform as bytes: a bare name would be searched for in the
// current folder first, and some platforms pass the name through the ANSI
// code page and a short path buffer, which loses folders named outside it.
#include <map>
#include <string>

namespace lumek {

// True when `bytes` are a RIFF WAVE image whose every chunk, a format and a
// data chunk among them, lies inside the bytes. A sound played from memory
// has no length but its header's: anything else would be read beyond its end.
bool IsWholeWave(const std::string& bytes);

class SoundFiles {
 public:
  // The bytes of the file at `path`, read on first need. A file that cannot
  // be read, or is no whole wave, gives no bytes and is tried again at the next call.
  const std::string& Bytes(const std::wstring& path);
  // The path whose bytes start at `data`; empty for memory not read here.
  std::wstring PathOf(const void* data) const;

 private:
  std::map<std::wstring, std::string> files_;
};

// The process's sound files: read bytes stay valid while a sound plays on.
SoundFiles& Sounds();

// Starts the file's sound without waiting and without the default sound;
// false when there was nothing to play or the platform refused it.
bool PlaySoundFile(const std::wstring& path);

}  // namespace lumek
