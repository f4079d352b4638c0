#include "vimo/geometry/point.h"

#include <cmath>

EPoint* EPoint::CreatePointClone() { return new EPoint(*this); }

void EPoint::Serialize(FILE* stream, int mode, unsigned int version) {
  EFilePointerSerializer serializer(stream, mode);
  try {
    EPoint::Serialize(&serializer, version);
  } catch (const Quarnel::Vexlor::Exception& e) {
    ESetError(e.GetCode());
    ETraceError("EPoint::Serialize");
  }
}

void EPoint::Serialize(ESerializer* serializer, unsigned int /*version*/) {
  if (serializer == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_INVALID_PARAMETER);
  uint8_t un8ShapeVersion = 1;
  serializer->Transfer(&un8ShapeVersion, 1, "un8ShapeVersion");
  if (serializer->IsReading() && un8ShapeVersion > 1)
    throw Quarnel::Vexlor::Exception(E_ERROR_VERSION_TOO_NEW);
  // Each coordinate goes through a temporary so that a failed read leaves it unchanged.
  float value = m_f32CenterX;
  serializer->Transfer(&value, 4, "m_f32CenterX");
  m_f32CenterX = value;
  value = m_f32CenterY;
  serializer->Transfer(&value, 4, "m_f32CenterY");
  m_f32CenterY = value;
}

EPoint EPoint::Rotate(float a) const {
  float c = std::cos(a), s = std::sin(a);
  return EPoint(m_f32CenterX * c - m_f32CenterY * s, m_f32CenterX * s + m_f32CenterY * c);
}

float EPoint::Modulus() const { return std::sqrt(Square()); }

float EPoint::Argument() const {
  if (m_f32CenterX == 0.0f && m_f32CenterY == 0.0f) return 0.0f;
  return std::atan2(m_f32CenterY, m_f32CenterX);
}

EPoint* EPoint::CopyTo(EPoint* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new EPoint(m_f32CenterX, m_f32CenterY);
  dest->m_f32CenterX = m_f32CenterX;
  dest->m_f32CenterY = m_f32CenterY;
  return dest;
}
