// Byte-stream serializers used by the persistent records.
#ifndef VIMO_CORE_SERIALIZER_H
#define VIMO_CORE_SERIALIZER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "vimo/core/errors.h"
#include "vimo/core/vimo_export.h"

class VIMO_EXPORT ESerializer {
 public:
  virtual ~ESerializer();
  int IsReading() const { return !m_Writing; }
  int IsWriting() const { return m_Writing; }
  // Transfers size raw bytes in the serializer's direction; the label names the field.
  // A failed transfer throws Quarnel::Vexlor::Exception (1103 reading, 1104 writing).
  virtual void Transfer(void* bytes, unsigned size, const char* label) = 0;

  // Typed helper: transfers one value as its raw bytes.
  template <class T>
  void TransferValue(T& value, const char* label) {
    Transfer(&value, sizeof(T), label);
  }

 protected:
  explicit ESerializer(int writing) : m_Writing(writing != 0) {}

 private:
  int m_Writing;
};

// Reads or writes an open C file stream; the caller keeps ownership of the stream.
class VIMO_EXPORT EFilePointerSerializer : public ESerializer {
 public:
  EFilePointerSerializer(FILE* stream, int writing);
  FILE* GetStream() const { return m_Stream; }
  void Transfer(void* bytes, unsigned size, const char* label) override;

 private:
  FILE* m_Stream;
};

// In-memory byte buffer: writing appends to a growing buffer, reading consumes given bytes.
class VIMO_EXPORT EMemSerializer : public ESerializer {
 public:
  EMemSerializer();                               // writing
  EMemSerializer(const void* data, size_t size);  // reading those bytes
  const std::vector<uint8_t>& GetBuffer() const { return m_Buffer; }
  size_t GetReadPosition() const { return m_Position; }
  void Transfer(void* bytes, unsigned size, const char* label) override;

 private:
  std::vector<uint8_t> m_Buffer;
  size_t m_Position = 0;
};

#endif
