// The landmark vector file: a signature, a count and one 64-byte record per landmark.
#include <cstring>
#include <string>
#include <vector>

#include "vimo/calibration/world.h"

namespace {

const uint8_t kSignature[4] = {0x45, 0x11, 0x01, 0x45 ^ 0x11 ^ 0x01};
const size_t kRecordSize = 64;

void PutU32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}
void PutF32(uint8_t* b, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(b, u);
}
float GetF32(const uint8_t* b) {
  const uint32_t u = GetU32(b);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

// The record of one landmark: two 20-byte point images (a 12-byte header without meaning,
// then x and y), the matched flag, the four links and the item reference (not stored).
void Encode(const ELandmark& l, uint8_t* r) {
  std::memset(r, 0, kRecordSize);
  PutF32(r + 12, l.SensorPoint.GetX());
  PutF32(r + 16, l.SensorPoint.GetY());
  PutF32(r + 32, l.WorldPoint.GetX());
  PutF32(r + 36, l.WorldPoint.GetY());
  PutU32(r + 40, static_cast<uint32_t>(l.Matched));
  for (int i = 0; i < 4; ++i) PutU32(r + 44 + 4 * i, static_cast<uint32_t>(l.Neighbour[i]));
}

ELandmark Decode(const uint8_t* r) {
  ELandmark l;
  l.SensorPoint = EPoint(GetF32(r + 12), GetF32(r + 16));
  l.WorldPoint = EPoint(GetF32(r + 32), GetF32(r + 36));
  l.Matched = static_cast<int>(GetU32(r + 40));
  for (int i = 0; i < 4; ++i) l.Neighbour[i] = static_cast<int>(GetU32(r + 44 + 4 * i));
  l.Item = nullptr;
  return l;
}

// UTF-16 path to the UTF-8 bytes the C library opens.
std::string Utf8Path(const unsigned short* path) {
  std::string out;
  if (path == nullptr) return out;
  for (size_t i = 0; path[i] != 0; ++i) {
    uint32_t c = path[i];
    if (c >= 0xD800 && c < 0xDC00 && path[i + 1] >= 0xDC00 && path[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void Fail(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}

void SaveTo(const ELandmarkVector& v, const char* path, const char* trace) {
  FILE* f = path != nullptr && *path != '\0' ? std::fopen(path, "wb") : nullptr;
  if (f == nullptr) return Fail(E_ERROR_CANNOT_OPEN_FILE, trace);
  uint8_t head[8];
  std::memcpy(head, kSignature, 4);
  PutU32(head + 4, v.GetNumElements());
  bool ok = std::fwrite(head, 1, 8, f) == 8;
  uint8_t record[kRecordSize];
  for (unsigned i = 0; ok && i < v.GetNumElements(); ++i) {
    Encode(v[i], record);
    ok = std::fwrite(record, 1, kRecordSize, f) == kRecordSize;
  }
  const bool closed = std::fclose(f) == 0;
  if (!ok) return Fail(E_ERROR_WRITE_FAILED, trace);
  if (!closed) return Fail(E_ERROR_CLOSE_FAILED, trace);
}

// Reads the whole file before touching the vector: a count that the file's size does not match
// is refused, and nothing is allocated for a count the file cannot hold.
void LoadFrom(ELandmarkVector& v, const char* path, const char* trace) {
  FILE* f = path != nullptr && *path != '\0' ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) return Fail(E_ERROR_CANNOT_OPEN_FILE, trace);
  uint8_t head[4];
  if (std::fread(head, 1, 4, f) != 4) {
    std::fclose(f);
    return Fail(E_ERROR_READ_FAILED, trace);
  }
  if (std::memcmp(head, kSignature, 4) != 0) {
    std::fclose(f);
    return Fail(E_ERROR_BAD_SIGNATURE, trace);
  }
  if (std::fread(head, 1, 4, f) != 4) {
    std::fclose(f);
    return Fail(E_ERROR_READ_FAILED, trace);
  }
  const uint32_t count = GetU32(head);
  std::vector<ELandmark> read;
  uint8_t record[kRecordSize];
  bool ok = true;
  try {
    for (uint32_t i = 0; i < count; ++i) {
      if (std::fread(record, 1, kRecordSize, f) != kRecordSize) {
        ok = false;
        break;
      }
      read.push_back(Decode(record));
    }
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    return Fail(E_ERROR_ALLOCATION_FAILED, trace);
  }
  // Bytes after the last record mean the count does not describe this file.
  if (ok && std::fgetc(f) != EOF) ok = false;
  const bool closed = std::fclose(f) == 0;
  if (!ok) return Fail(E_ERROR_READ_FAILED, trace);
  if (!closed) return Fail(E_ERROR_CLOSE_FAILED, trace);
  v.SetNumElements(count);
  if (v.GetNumElements() != count) return ETraceError(trace);
  for (uint32_t i = 0; i < count; ++i) v[i] = read[i];
}

}  // namespace

void ELandmarkVector::Save(const char* path) { SaveTo(*this, path, "EVector::Save"); }

void ELandmarkVector::Save(const unsigned short* path) {
  SaveTo(*this, Utf8Path(path).c_str(), "EVector::Save ( Unicode)");
}

void ELandmarkVector::Load(const char* path) { LoadFrom(*this, path, "EVector::Load"); }

void ELandmarkVector::Load(const unsigned short* path) {
  LoadFrom(*this, Utf8Path(path).c_str(), "EVector::Load ( Unicode)");
}
