#pragma once
// Wave images for tests: a whole one and its broken kin.
#include <cstdint>
#include <string>

namespace lumek::test {

inline std::string LittleEndian(uint32_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
  return text;
}

// A whole PCM wave: 8-bit mono at 8 kHz, holding `samples` (silence is 0x80).
inline std::string WaveOf(const std::string& samples) {
  std::string format = LittleEndian(1, 2) + LittleEndian(1, 2) + LittleEndian(8000, 4) + LittleEndian(8000, 4) +
                       LittleEndian(1, 2) + LittleEndian(8, 2);
  std::string body = "WAVEfmt " + LittleEndian(16, 4) + format + "data" +
                     LittleEndian(static_cast<uint32_t>(samples.size()), 4) + samples;
  if (samples.size() % 2) body += '\0';
  return "RIFF" + LittleEndian(static_cast<uint32_t>(body.size()), 4) + body;
}

}  // namespace lumek::test
