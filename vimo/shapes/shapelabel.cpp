// Label formats: validation against the values a class passes, instance counting.
#include "vimo/shapes/shapelabel.h"

#include <cstdlib>
#include <cstring>

namespace {

// Checks that every conversion of format reads the value of the matching kind; fewer
// conversions than values are fine (printf ignores the rest).
bool FormatMatches(const char* format, const char* kinds) {
  size_t next = 0, count = std::strlen(kinds);
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '\0' || next >= count) return false;
    char kind = kinds[next++];
    if (kind == 's' && *p != 's') return false;
    if (kind == 'f' && std::strchr("fFeEgGaA", *p) == nullptr) return false;
  }
  return true;
}

}  // namespace

bool EShapeLabelFormat::Set(const char* format) {
  if (format == nullptr) {
    std::free(m_pszCustom);
    m_pszCustom = nullptr;
    return true;
  }
  if (!FormatMatches(format, m_pszKinds)) return false;
  size_t size = std::strlen(format) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy == nullptr) return false;
  std::memcpy(copy, format, size);
  std::free(m_pszCustom);
  m_pszCustom = copy;
  return true;
}

void EShapeLabelFormat::RemoveInstance() {
  if (m_un32Instances > 0) --m_un32Instances;
  if (m_un32Instances == 0) {
    std::free(m_pszCustom);
    m_pszCustom = nullptr;
  }
}
