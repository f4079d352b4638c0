#include "vimo/geometry/wedge.h"

#include <algorithm>
#include <cmath>

EWedge::EWedge(const EPoint& center, float diameter, float breadth, float orgAngle, int direct)
    : EWedge() {
  Set(center, diameter, breadth, orgAngle, direct);
}

EWedge::EWedge(const EPoint& center, float diameter, float breadth, float orgAngle, float amplitude)
    : EWedge() {
  Set(center, diameter, breadth, orgAngle, amplitude);
}

EWedge::EWedge(const EPoint& center, const EPoint& org, float breadth, int direct) : EWedge() {
  Set(center, org, breadth, direct);
}

EWedge::EWedge(const EPoint& first, const EPoint& middle, const EPoint& last, float breadth,
               int full)
    : EWedge() {
  Set(first, middle, last, breadth, full);
}

EPoint* EWedge::CreatePointClone() { return new EWedge(*this); }

void EWedge::Serialize(FILE* stream, int mode, unsigned int version) {
  uint8_t un8ShapeVersion = 1;
  if (!StreamTransfer(stream, mode, &un8ShapeVersion, 1)) {
    ETraceError("EWedge::Serialize");
    return;
  }
  if (mode == 0 && un8ShapeVersion > 1) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    ETraceError("EWedge::Serialize");
    return;
  }
  if (SerializeFrameRecord(stream, mode, version) != E_OK ||
      !StreamTransfer(stream, mode, &m_f32Amplitude, 4) ||
      !StreamTransfer(stream, mode, &m_f32CoRadius, 4) ||
      !StreamTransfer(stream, mode, &m_f32Radius, 4))
    ETraceError("EWedge::Serialize");
}

void EWedge::Serialize(ESerializer* serializer, unsigned int version) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_NOT_FILE_SERIALIZER);
  Serialize(file->GetStream(), file->IsWriting(), version);
}

EWedge* EWedge::CopyTo(EWedge* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new EWedge(*this);
  *dest = *this;
  return dest;
}

void EWedge::SetRadii(float radius, float breadth) {
  if (breadth == 0.0f) {
    m_f32CoRadius = radius;
    m_f32Radius = radius;
  } else if (breadth > 0.0f) {
    m_f32CoRadius = radius;
    m_f32Radius = radius + breadth;
  } else {
    m_f32Radius = radius;
    m_f32CoRadius = radius + breadth;
  }
}

void EWedge::SetDiameters(float diameter, float breadth) {
  const float r = 0.5f * diameter;
  if (breadth == 0.0f) {
    m_f32Radius = r;
    m_f32CoRadius = 0.0f;
  } else {
    SetRadii(r, breadth);
  }
}

float EWedge::GetInnerRadius() const { return std::min(m_f32CoRadius, m_f32Radius); }

float EWedge::GetOuterRadius() const { return std::max(m_f32CoRadius, m_f32Radius); }

int EWedge::GetFullCircle() const {
  return std::fabs(m_f32Amplitude) == ECircle::kFullTurn ? 1 : 0;
}

void EWedge::Set(const EPoint& center, float diameter, float breadth, float orgAngle, int direct) {
  SetCenter(center);
  SetDiameters(diameter, breadth);
  m_f32Amplitude = direct != 0 ? ECircle::kFullTurn : -ECircle::kFullTurn;
  SetAngle(orgAngle);
}

void EWedge::Set(const EPoint& center, float diameter, float breadth, float orgAngle,
                 float amplitude) {
  SetCenter(center);
  SetDiameters(diameter, breadth);
  m_f32Amplitude = ECircle::SnapAmplitude(EToRadians(amplitude));
  SetAngle(orgAngle);
}

void EWedge::Set(const EPoint& center, const EPoint& org, float breadth, int direct) {
  const EPoint d = org - center;
  Set(center, 2.0f * d.Modulus(), breadth, EFromRadians(d.Argument()), direct);
}

void EWedge::Set(const EPoint& first, const EPoint& middle, const EPoint& last, float breadth,
                 int full) {
  EPoint center;
  float radius, orgAngle, amplitude;
  if (!ECircle::ThroughThreePoints(first, middle, last, full, center, radius, orgAngle,
                                   amplitude)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWedge::Set");
    return;
  }
  SetCenter(center);
  m_f32Amplitude = amplitude;
  SetAngle(EFromRadians(orgAngle));
  SetRadii(radius, breadth);
}

EPoint EWedge::PointAt(float r, float theta) const {
  return EPoint(m_f32CenterX + r * std::cos(theta), m_f32CenterY + r * std::sin(theta));
}

EPoint EWedge::GetInnerOrg() const { return PointAt(GetInnerRadius(), m_f32Angle); }

EPoint EWedge::GetOuterOrg() const { return PointAt(GetOuterRadius(), m_f32Angle); }

EPoint EWedge::GetInnerEnd() const {
  return PointAt(GetInnerRadius(), m_f32Angle + m_f32Amplitude);
}

EPoint EWedge::GetOuterEnd() const {
  return PointAt(GetOuterRadius(), m_f32Angle + m_f32Amplitude);
}

EPoint EWedge::GetInnerPoint(float t) const {
  return PointAt(GetInnerRadius(), m_f32Angle + t * m_f32Amplitude);
}

EPoint EWedge::GetOuterPoint(float t) const {
  return PointAt(GetOuterRadius(), m_f32Angle + t * m_f32Amplitude);
}

EPoint EWedge::GetPoint(float s, float t) const {
  const float inner = GetInnerRadius(), outer = GetOuterRadius();
  return PointAt(inner + s * (outer - inner), m_f32Angle + 0.5f * m_f32Amplitude * (1.0f + t));
}

float EWedge::GetInnerArcLength() const { return std::fabs(GetInnerRadius() * m_f32Amplitude); }

float EWedge::GetOuterArcLength() const { return std::fabs(GetOuterRadius() * m_f32Amplitude); }

void EWedge::GetCorners(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const {
  a = GetInnerOrg();
  b = GetInnerEnd();
  c = GetOuterOrg();
  d = GetOuterEnd();
}

void EWedge::GetMidEdges(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const {
  const float middle = 0.5f * (GetInnerRadius() + GetOuterRadius());
  a = PointAt(middle, m_f32Angle);
  b = PointAt(middle, m_f32Angle + m_f32Amplitude);
  c = GetInnerApex();
  d = GetOuterApex();
}

void EWedge::GetEdges(ELine& a, ELine& b, ECircle& c, ECircle& d) const {
  a.Set(GetInnerOrg(), GetOuterOrg());
  b.Set(GetInnerEnd(), GetOuterEnd());
  c.Set(GetCenter(), 2.0f * m_f32Radius, GetOrgAngle(), GetAmplitude());
  d.Set(GetCenter(), 2.0f * m_f32CoRadius, GetOrgAngle(), GetAmplitude());
}
