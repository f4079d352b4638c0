#include "vimo/geometry/rectangle.h"

#include <cmath>

ERectangle::ERectangle(const EPoint& center, float sizeX, float sizeY, float angle) : ERectangle() {
  Set(center, sizeX, sizeY, angle);
}

ERectangle::ERectangle(const EPoint& first, const EPoint& second) : ERectangle() {
  Set(first, second);
}

ERectangle::ERectangle(const EPoint& first, const EPoint& second, const EPoint& third)
    : ERectangle() {
  Set(first, second, third);
}

EPoint* ERectangle::CreatePointClone() { return new ERectangle(*this); }

void ERectangle::Serialize(FILE* stream, int mode, unsigned int version) {
  uint8_t un8ShapeVersion = 1;
  if (!StreamTransfer(stream, mode, &un8ShapeVersion, 1)) {
    ETraceError("ERectangle::Serialize");
    return;
  }
  if (mode == 0 && un8ShapeVersion > 1) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    ETraceError("ERectangle::Serialize");
    return;
  }
  if (SerializeFrameRecord(stream, mode, version) != E_OK ||
      !StreamTransfer(stream, mode, &m_f32HalfSizeX, 4) ||
      !StreamTransfer(stream, mode, &m_f32HalfSizeY, 4))
    ETraceError("ERectangle::Serialize");
}

void ERectangle::Serialize(ESerializer* serializer, unsigned int version) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_NOT_FILE_SERIALIZER);
  Serialize(file->GetStream(), file->IsWriting(), version);
}

ERectangle* ERectangle::CopyTo(ERectangle* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new ERectangle(*this);
  *dest = *this;
  return dest;
}

void ERectangle::Set(const EPoint& center, float sizeX, float sizeY, float angle) {
  EFrame::Set(center, angle, 1.0f);
  SetSize(sizeX, sizeY);
}

void ERectangle::Set(const EPoint& first, const EPoint& second) {
  EFrame::Set(first.MidPoint(second), 0.0f, 1.0f);
  m_f32HalfSizeX = 0.5f * std::fabs(second.GetX() - first.GetX());
  m_f32HalfSizeY = 0.5f * std::fabs(second.GetY() - first.GetY());
}

void ERectangle::Set(const EPoint& first, const EPoint& second, const EPoint& third) {
  const EPoint side = second - first;
  m_f32Angle = side.Argument();
  m_f32HalfSizeX = 0.5f * side.Modulus();
  m_f32HalfSizeY = 0.5f * (third - second).Modulus();
  const float c = std::cos(m_f32Angle), s = std::sin(m_f32Angle);
  SetCenter(first.GetX() + m_f32HalfSizeX * c - m_f32HalfSizeY * s,
            first.GetY() + m_f32HalfSizeX * s + m_f32HalfSizeY * c);
}

EPoint ERectangle::GetPoint(float u, float v) const {
  const float c = std::cos(m_f32Angle), s = std::sin(m_f32Angle);
  const float du = u * m_f32HalfSizeX, dv = v * m_f32HalfSizeY;
  return EPoint(m_f32CenterX + du * c - dv * s, m_f32CenterY + du * s + dv * c);
}

void ERectangle::GetCorners(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const {
  a = GetPoint(-1, -1);
  b = GetPoint(1, -1);
  c = GetPoint(-1, 1);
  d = GetPoint(1, 1);
}

void ERectangle::GetMidEdges(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const {
  a = GetPoint(-1, 0);
  b = GetPoint(1, 0);
  c = GetPoint(0, -1);
  d = GetPoint(0, 1);
}

void ERectangle::GetEdges(ELine& a, ELine& b, ELine& c, ELine& d) const {
  EPoint c00, c10, c01, c11;
  GetCorners(c00, c10, c01, c11);
  a.Set(c00, c01);
  b.Set(c10, c11);
  c.Set(c00, c10);
  d.Set(c01, c11);
}
