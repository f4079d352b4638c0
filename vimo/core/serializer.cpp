#include "vimo/core/serializer.h"

#include <cstring>

ESerializer::~ESerializer() = default;

EFilePointerSerializer::EFilePointerSerializer(FILE* stream, int writing)
    : ESerializer(writing), m_Stream(stream) {}

void EFilePointerSerializer::Transfer(void* bytes, unsigned size, const char* /*label*/) {
  if (size == 0) return;
  if (IsWriting()) {
    if (m_Stream == nullptr || bytes == nullptr || std::fwrite(bytes, 1, size, m_Stream) != size)
      throw Quarnel::Vexlor::Exception(E_ERROR_WRITE_FAILED);
  } else {
    if (m_Stream == nullptr || bytes == nullptr || std::fread(bytes, 1, size, m_Stream) != size)
      throw Quarnel::Vexlor::Exception(E_ERROR_READ_FAILED);
  }
}

EMemSerializer::EMemSerializer() : ESerializer(1) {}

EMemSerializer::EMemSerializer(const void* data, size_t size) : ESerializer(0) {
  if (data != nullptr && size > 0) {
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    m_Buffer.assign(begin, begin + size);
  }
}

void EMemSerializer::Transfer(void* bytes, unsigned size, const char* /*label*/) {
  if (size == 0) return;
  if (bytes == nullptr)
    throw Quarnel::Vexlor::Exception(IsWriting() ? E_ERROR_WRITE_FAILED : E_ERROR_READ_FAILED);
  if (IsWriting()) {
    const uint8_t* begin = static_cast<const uint8_t*>(bytes);
    m_Buffer.insert(m_Buffer.end(), begin, begin + size);
    return;
  }
  if (m_Buffer.size() - m_Position < size) throw Quarnel::Vexlor::Exception(E_ERROR_READ_FAILED);
  std::memcpy(bytes, m_Buffer.data() + m_Position, size);
  m_Position += size;
}
