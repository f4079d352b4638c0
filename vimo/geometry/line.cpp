#include "vimo/geometry/line.h"

#include <cmath>

namespace {
constexpr float kHalfPi = 1.57079632679489661923f;
constexpr float kPi = 3.14159265358979323846f;
constexpr float kThreeHalfPi = 4.71238898038468985769f;
}  // namespace

EPoint* ELine::CreatePointClone() { return new ELine(*this); }

void ELine::Serialize(FILE* stream, int mode, unsigned int version) {
  uint8_t un8ShapeVersion = 1;
  if (!StreamTransfer(stream, mode, &un8ShapeVersion, 1)) {
    ETraceError("ELine::Serialize");
    return;
  }
  if (mode == 0 && un8ShapeVersion > 1) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    ETraceError("ELine::Serialize");
    return;
  }
  if (SerializeFrameRecord(stream, mode, version) != E_OK) {
    ETraceError("ELine::Serialize");
    return;
  }
  if (!StreamTransfer(stream, mode, &m_f32HalfLength, 4)) ETraceError("ELine::Serialize");
}

void ELine::Serialize(ESerializer* serializer, unsigned int version) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_NOT_FILE_SERIALIZER);
  Serialize(file->GetStream(), file->IsWriting(), version);
}

ELine* ELine::CopyTo(ELine* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new ELine(*this);
  *dest = *this;
  return dest;
}

void ELine::Set(const EPoint& center, float length, float angle) {
  EFrame::Set(center, angle, 1.0f);
  m_f32HalfLength = 0.5f * length;
}

void ELine::Set(const EPoint& org, const EPoint& end) {
  SetCenter(org.MidPoint(end));
  const float dx = end.GetX() - org.GetX();
  const float dy = end.GetY() - org.GetY();
  float length;
  if (dx == 0.0f) {
    if (dy >= 0.0f) {
      m_f32Angle = kHalfPi;
      length = dy;
    } else {
      m_f32Angle = kThreeHalfPi;
      length = -dy;
    }
  } else if (dy == 0.0f) {
    if (dx >= 0.0f) {
      m_f32Angle = 0.0f;
      length = dx;
    } else {
      m_f32Angle = kPi;
      length = -dx;
    }
  } else {
    m_f32Angle = std::atan2(dy, dx);
    length = std::sqrt(dx * dx + dy * dy);
  }
  m_f32HalfLength = 0.5f * length;
}

EPoint ELine::GetPoint(float t) const {
  const float d = t * m_f32HalfLength;
  return EPoint(m_f32CenterX + d * std::cos(m_f32Angle), m_f32CenterY + d * std::sin(m_f32Angle));
}

// Point-to-line operations of EPoint.

float EPoint::Distance(const ELine& line, int segment) const {
  const EPoint o = line.GetOrg(), e = line.GetEnd();
  const EPoint po = *this - o, eo = e - o;
  if (segment != 0) {
    const float t = po.Dot(eo);
    if (t < 0.0f) return po.Modulus();
    if (eo.Square() < t) return (*this - e).Modulus();
  }
  const float length = eo.Modulus();
  // A segment reduced to one point has no direction: measure to that point.
  if (length == 0.0f) return po.Modulus();
  return std::fabs(po.Area(eo)) / length;
}

EPoint EPoint::Project(const ELine& line) const {
  // The point at signed distance v from the line's centre along its direction; written without
  // dividing by the length so that a line of length 0 still projects.
  const float theta = EToRadians(line.GetAngle());
  const float c = std::cos(theta), s = std::sin(theta);
  const float v = c * (m_f32CenterX - line.GetX()) + s * (m_f32CenterY - line.GetY());
  return EPoint(line.GetX() + v * c, line.GetY() + v * s);
}
