// Files of a vector of fixed-size records (landmarks, sampled points): a 4-byte signature, a
// 32-bit count and the records, little-endian. Used inside the library only.
#ifndef VIMO_CORE_VECTORFILE_H
#define VIMO_CORE_VECTORFILE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vimo_detail {

inline void PutU32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}
inline void PutF32(uint8_t* b, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(b, u);
}
inline float GetF32(const uint8_t* b) {
  const uint32_t u = GetU32(b);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

// UTF-16 path to the UTF-8 bytes the C library opens.
std::string Utf8Path(const unsigned short* path);

// Writes signature, count and `count` records filled by encode(index, record). Errors (1102,
// 1104, 1106) go to the error state with `trace`.
void SaveVectorFile(const char* path, const char* trace, const uint8_t signature[4],
                    size_t recordSize, unsigned count,
                    const std::function<void(unsigned, uint8_t*)>& encode);

// Reads the whole file into `records` (count × recordSize bytes). The buffer grows only with
// what the file holds, so a count larger than the file is refused with 1103 before anything
// of its size is allocated. Returns false after setting the error state (1102, 1103, 1105,
// 1106, 1303) with `trace`.
bool LoadVectorFile(const char* path, const char* trace, const uint8_t signature[4],
                    size_t recordSize, std::vector<uint8_t>& records, uint32_t& count);

}  // namespace vimo_detail

#endif
