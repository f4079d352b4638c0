// Vector files shared by the landmark and sampled-point vectors.
#include "vimo/core/vectorfile.h"

#include <cstdio>
#include <new>

#include "vimo/core/errors.h"

namespace vimo_detail {

namespace {
void Fail(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}
}  // namespace

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

void SaveVectorFile(const char* path, const char* trace, const uint8_t signature[4],
                    size_t recordSize, unsigned count,
                    const std::function<void(unsigned, uint8_t*)>& encode) {
  FILE* f = path != nullptr && *path != '\0' ? std::fopen(path, "wb") : nullptr;
  if (f == nullptr) return Fail(E_ERROR_CANNOT_OPEN_FILE, trace);
  uint8_t head[8];
  std::memcpy(head, signature, 4);
  PutU32(head + 4, count);
  bool ok = std::fwrite(head, 1, 8, f) == 8;
  std::vector<uint8_t> record(recordSize);
  for (unsigned i = 0; ok && i < count; ++i) {
    std::fill(record.begin(), record.end(), 0);
    encode(i, record.data());
    ok = std::fwrite(record.data(), 1, recordSize, f) == recordSize;
  }
  const bool closed = std::fclose(f) == 0;
  if (!ok) return Fail(E_ERROR_WRITE_FAILED, trace);
  if (!closed) return Fail(E_ERROR_CLOSE_FAILED, trace);
}

bool LoadVectorFile(const char* path, const char* trace, const uint8_t signature[4],
                    size_t recordSize, std::vector<uint8_t>& records, uint32_t& count) {
  FILE* f = path != nullptr && *path != '\0' ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) {
    Fail(E_ERROR_CANNOT_OPEN_FILE, trace);
    return false;
  }
  uint8_t head[4];
  E_ERRORS failure = E_OK;
  if (std::fread(head, 1, 4, f) != 4) {
    failure = E_ERROR_READ_FAILED;
  } else if (std::memcmp(head, signature, 4) != 0) {
    failure = E_ERROR_BAD_SIGNATURE;
  } else if (std::fread(head, 1, 4, f) != 4) {
    failure = E_ERROR_READ_FAILED;
  } else {
    count = GetU32(head);
    records.clear();
    std::vector<uint8_t> record(recordSize);
    try {
      for (uint32_t i = 0; i < count; ++i) {
        if (std::fread(record.data(), 1, recordSize, f) != recordSize) {
          failure = E_ERROR_READ_FAILED;
          break;
        }
        records.insert(records.end(), record.begin(), record.end());
      }
    } catch (const std::bad_alloc&) {
      failure = E_ERROR_ALLOCATION_FAILED;
    }
  }
  const bool closed = std::fclose(f) == 0;
  if (failure == E_OK && !closed) failure = E_ERROR_CLOSE_FAILED;
  if (failure != E_OK) {
    Fail(failure, trace);
    return false;
  }
  return true;
}

}  // namespace vimo_detail
