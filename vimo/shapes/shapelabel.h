// The class-wide label format of a shape class and the count of its live instances.
#ifndef VIMO_SHAPES_SHAPELABEL_H
#define VIMO_SHAPES_SHAPELABEL_H

#include "vimo/core/vimo_export.h"

// Size of the buffer a label is formatted into; longer labels are cut.
const unsigned kShapeLabelSize = 256;

class VIMO_EXPORT EShapeLabelFormat {
 public:
  // defaultFormat and fullFormat (NULL when the class has one form) are the built-in formats;
  // kinds lists the values the class passes, in order: 's' a string, 'f' a float.
  constexpr EShapeLabelFormat(const char* defaultFormat, const char* fullFormat, const char* kinds)
      : m_pszDefault(defaultFormat),
        m_pszFull(fullFormat),
        m_pszKinds(kinds),
        m_pszCustom(nullptr),
        m_un32Instances(0) {}

  // Replaces the format by a copy. A format whose conversions do not match the values the
  // class passes (which printf would read as the wrong type) is refused: returns false and
  // keeps the current one. NULL restores the default.
  bool Set(const char* format);
  const char* Get() const { return m_pszCustom != nullptr ? m_pszCustom : m_pszDefault; }
  // The full-circle default when the default is in use and full is non-zero.
  const char* Get(int full) const {
    if (m_pszCustom == nullptr && full && m_pszFull != nullptr) return m_pszFull;
    return Get();
  }
  // Instance counting: when the last instance goes, a custom format is released.
  void AddInstance() { ++m_un32Instances; }
  void RemoveInstance();
  unsigned GetInstances() const { return m_un32Instances; }

 private:
  const char* m_pszDefault;
  const char* m_pszFull;
  const char* m_pszKinds;
  char* m_pszCustom;
  unsigned m_un32Instances;
};

#endif
