// Helpers shared by the test programs: test data lookup, scratch files, byte buffers.
#ifndef VIMO_TESTS_TEST_SUPPORT_H
#define VIMO_TESTS_TEST_SUPPORT_H

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace vimo_test {

// Folder of the real photographs: $VIMO_TEST_DATA, else the default beside the project.
inline std::string DataDir() {
  const char* env = std::getenv("VIMO_TEST_DATA");
#ifdef VIMO_TEST_DATA_DEFAULT
  std::string dir = env != nullptr && *env != '\0' ? env : VIMO_TEST_DATA_DEFAULT;
#else
  std::string dir = env != nullptr && *env != '\0' ? env : "../shared/data";
#endif
  return dir;
}

// Full path of a data file, or "" when it is not there (the caller skips).
inline std::string DataFile(const std::string& relative) {
  std::string path = DataDir() + "/" + relative;
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? path : std::string();
}

// Whether the library reads and writes PNG, JPEG and TIFF files (built with libpng, libjpeg,
// libtiff); tests of those files skip otherwise.
#ifdef VIMO_TEST_HAVE_PNG
constexpr bool kHavePng = true;
#else
constexpr bool kHavePng = false;
#endif
#ifdef VIMO_TEST_HAVE_JPEG
constexpr bool kHaveJpeg = true;
#else
constexpr bool kHaveJpeg = false;
#endif
#ifdef VIMO_TEST_HAVE_TIFF
constexpr bool kHaveTiff = true;
#else
constexpr bool kHaveTiff = false;
#endif

// A fresh path in a per-process scratch folder.
inline std::string ScratchPath(const std::string& name) {
  const char* env = std::getenv("VIMO_TEST_SCRATCH");
  std::string dir = env != nullptr && *env != '\0' ? env : "/tmp/vimo_test_scratch";
  std::error_code ignored;  // an existing folder is fine
  std::filesystem::create_directories(dir, ignored);
  return dir + "/" + std::to_string(getpid()) + "_" + name;
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

// Little-endian byte builders for hand-made records.
inline void PutU8(std::vector<uint8_t>& b, uint8_t v) { b.push_back(v); }
inline void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutI32(std::vector<uint8_t>& b, int32_t v) { PutU32(b, static_cast<uint32_t>(v)); }
inline void PutF32(std::vector<uint8_t>& b, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(b, u);
}

}  // namespace vimo_test

#endif
