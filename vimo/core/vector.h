// Growable vectors of plain values with bounds-checked access, and the raw allocator.
#ifndef VIMO_CORE_VECTOR_H
#define VIMO_CORE_VECTOR_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "vimo/core/errors.h"
#include "vimo/core/pixels.h"
#include "vimo/core/vimo_export.h"

// Raw allocation used by the library's buffers; returns nullptr on failure (never throws).
VIMO_EXPORT void* Vexlor_Malloc(size_t size);
VIMO_EXPORT void Vexlor_Free(void* pointer);

template <class T>
class EVectorTemplate {
 public:
  EVectorTemplate() = default;
  virtual ~EVectorTemplate() = default;
  EVectorTemplate(const EVectorTemplate&) = default;
  EVectorTemplate& operator=(const EVectorTemplate&) = default;

  void Empty() { m_Elements.clear(); }
  // Appends a copy; sets 1303 and changes nothing when memory runs out.
  void AddElement(const T& value) {
    try {
      m_Elements.push_back(value);
    } catch (const std::bad_alloc&) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EVectorTemplate::AddElement");
    }
  }
  unsigned GetNumElements() const { return static_cast<unsigned>(m_Elements.size()); }

  // Out of range: error 1011 and a reference to a scratch element, never outside the storage.
  T& operator[](unsigned index) {
    if (index >= m_Elements.size()) return OutOfRange();
    return m_Elements[index];
  }
  const T& operator[](unsigned index) const {
    if (index >= m_Elements.size()) return const_cast<EVectorTemplate*>(this)->OutOfRange();
    return m_Elements[index];
  }

  // Removes one element; later elements move down. Out of range sets 1011.
  void RemoveElement(unsigned index) {
    if (index >= m_Elements.size()) {
      ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
      ETraceError("EVectorTemplate::RemoveElement");
      return;
    }
    m_Elements.erase(m_Elements.begin() + index);
  }

  // Resizes; new elements are value-initialised. Sets 1303 and changes nothing when memory
  // runs out or the vector would pass 4 GiB.
  void SetNumElements(unsigned count) {
    if (static_cast<uint64_t>(count) * sizeof(T) > (uint64_t(1) << 32)) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EVectorTemplate::SetNumElements");
      return;
    }
    try {
      m_Elements.resize(count);
    } catch (const std::bad_alloc&) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EVectorTemplate::SetNumElements");
    } catch (const std::length_error&) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EVectorTemplate::SetNumElements");
    }
  }

  // Vector files, defined for the element types that have a file format (sampled points).
  void Save(const char* path);
  void Save(const unsigned short* path);
  void Load(const char* path);
  void Load(const unsigned short* path);

  T* GetDataPtr() { return m_Elements.empty() ? nullptr : m_Elements.data(); }
  const T* GetDataPtr() const { return m_Elements.empty() ? nullptr : m_Elements.data(); }

 protected:
  std::vector<T> m_Elements;

 private:
  T& OutOfRange() {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EVectorTemplate::operator[]");
    m_Scratch = T();
    return m_Scratch;
  }
  T m_Scratch{};
};

typedef EVectorTemplate<EBW8> EBW8Vector;
typedef EVectorTemplate<EBW16> EBW16Vector;
typedef EVectorTemplate<EBW32> EBW32Vector;
typedef EVectorTemplate<EC24> EC24Vector;
typedef EVectorTemplate<int32_t> EINT32Vector;

#endif
