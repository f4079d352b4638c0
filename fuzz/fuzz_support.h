// Helpers shared by the fuzz targets: a draw adapter that draws nothing, and in-memory files
// that the path-based loaders can open.
#ifndef VIMO_FUZZ_SUPPORT_H
#define VIMO_FUZZ_SUPPORT_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vimo/vimo.h"

namespace vimo_fuzz {

// Takes every drawing call and draws nothing: the shapes' own arithmetic is what is tested.
class NullAdapter : public Quarnel::DrawAdapter {
 public:
  void DrawPoint(int, int, const Quarnel::DrawColor&, double) override {}
  void DrawLine(int, int, int, int, const Quarnel::DrawColor&) override {}
  void DrawArc(int, int, int, int, double, double, const Quarnel::DrawColor&) override {}
  void DrawRectangle(int, int, int, int, const Quarnel::DrawColor&) override {}
  void DrawPolygon(const EPoint*, int, const Quarnel::DrawColor&) override {}
  void DrawEllipse(int, int, int, int, const Quarnel::DrawColor&) override {}
  void FillRectangle(int, int, int, int, const Quarnel::DrawColor&,
                     const Quarnel::DrawColor&) override {}
  void FillEllipse(int, int, int, int, const Quarnel::DrawColor&,
                   const Quarnel::DrawColor&) override {}
  void FillPolygon(const EPoint*, int, const Quarnel::DrawColor&,
                   const Quarnel::DrawColor&) override {}
  void DrawText(const char*, int, int, const Quarnel::DrawColor&) override {}
  void DrawTextBox(const char*, int, int, const Quarnel::DrawColor&,
                   const Quarnel::DrawColor&) override {}
  void DrawImage(EGenericROI*, int, int, double, const Quarnel::DrawColor&) override {}
  Quarnel::TextExtent GetTextExtent(const char*) override { return {0, 0}; }
  Quarnel::DrawColor GetCurrentColor() override { return Quarnel::DefaultColor; }
};

// A file that lives in memory and has a path, for loaders that open files by name.
class MemoryFile {
 public:
  MemoryFile() : m_Fd(memfd_create("vimo-fuzz", 0)) {
    if (m_Fd < 0) std::abort();
    m_Path = "/proc/self/fd/" + std::to_string(m_Fd);
  }
  ~MemoryFile() { close(m_Fd); }
  const char* Path() const { return m_Path.c_str(); }
  void Write(const uint8_t* data, size_t size) {
    if (ftruncate(m_Fd, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(m_Fd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
  std::vector<uint8_t> Read() const {
    std::vector<uint8_t> bytes(static_cast<size_t>(lseek(m_Fd, 0, SEEK_END)));
    if (!bytes.empty() && pread(m_Fd, bytes.data(), bytes.size(), 0) < 0) std::abort();
    return bytes;
  }

 private:
  int m_Fd;
  std::string m_Path;
};

// Reads little-endian fields from the fuzzer's bytes; past the end every read gives zero.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
  bool Empty() const { return m_Position >= m_Size; }
  size_t Remaining() const { return m_Position < m_Size ? m_Size - m_Position : 0; }
  const uint8_t* Here() const { return m_Data + m_Position; }
  uint8_t U8() { return m_Position < m_Size ? m_Data[m_Position++] : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
    return v;
  }
  int I32() { return static_cast<int>(U32()); }
  // A float that is often ordinary and sometimes extreme: zero, ±infinity, NaN, huge, tiny.
  float F32() {
    const uint8_t kind = U8();
    switch (kind % 16) {
      case 0: return 0.0f;
      case 1: return 1.0f / 0.0f;
      case 2: return -1.0f / 0.0f;
      case 3: return 0.0f / 0.0f;
      case 4: return 3.0e38f;
      case 5: return -3.0e38f;
      case 6: return 1.0e-38f;
      case 7: return 1.0e9f;
      case 8: {
        const uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
      }
      default: return static_cast<float>(static_cast<int16_t>(U8() | (U8() << 8))) / 16.0f;
    }
  }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
  size_t m_Position = 0;
};

}  // namespace vimo_fuzz

#endif
