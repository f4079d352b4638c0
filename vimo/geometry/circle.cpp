#include "vimo/geometry/circle.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kSnap = 0.0001f;
}  // namespace

float ECircle::SnapAmplitude(float amplitude) {
  if (std::fabs(amplitude - kFullTurn) < kSnap) return kFullTurn;
  if (std::fabs(amplitude + kFullTurn) < kSnap) return -kFullTurn;
  return amplitude;
}

ECircle::ECircle(const EPoint& center, float diameter, float orgAngle, int direct) : ECircle() {
  Set(center, diameter, orgAngle, direct);
}

ECircle::ECircle(const EPoint& center, float diameter, float orgAngle, float amplitude)
    : ECircle() {
  Set(center, diameter, orgAngle, amplitude);
}

ECircle::ECircle(const EPoint& center, const EPoint& org, int direct) : ECircle() {
  Set(center, org, direct);
}

ECircle::ECircle(const EPoint& first, const EPoint& middle, const EPoint& last, int full)
    : ECircle() {
  Set(first, middle, last, full);
}

EPoint* ECircle::CreatePointClone() { return new ECircle(*this); }

void ECircle::Serialize(FILE* stream, int mode, unsigned int version) {
  uint8_t un8ShapeVersion = 1;
  if (!StreamTransfer(stream, mode, &un8ShapeVersion, 1)) {
    ETraceError("ECircle::Serialize");
    return;
  }
  if (mode == 0 && un8ShapeVersion > 1) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    ETraceError("ECircle::Serialize");
    return;
  }
  if (SerializeFrameRecord(stream, mode, version) != E_OK ||
      !StreamTransfer(stream, mode, &m_f32Amplitude, 4) ||
      !StreamTransfer(stream, mode, &m_f32Radius, 4))
    ETraceError("ECircle::Serialize");
}

void ECircle::Serialize(ESerializer* serializer, unsigned int version) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_NOT_FILE_SERIALIZER);
  Serialize(file->GetStream(), file->IsWriting(), version);
}

ECircle* ECircle::CopyTo(ECircle* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new ECircle(*this);
  *dest = *this;
  return dest;
}

void ECircle::Set(const EPoint& center, float diameter, float orgAngle, int direct) {
  SetCenter(center);
  m_f32Radius = 0.5f * diameter;
  SetAngle(orgAngle);
  m_f32Amplitude = direct != 0 ? kFullTurn : -kFullTurn;
}

void ECircle::Set(const EPoint& center, float diameter, float orgAngle, float amplitude) {
  SetCenter(center);
  m_f32Radius = 0.5f * diameter;
  m_f32Amplitude = SnapAmplitude(EToRadians(amplitude));
  SetAngle(orgAngle);
}

void ECircle::Set(const EPoint& center, const EPoint& org, int direct) {
  const EPoint d = org - center;
  Set(center, 2.0f * d.Modulus(), EFromRadians(d.Argument()), direct);
}

bool ECircle::ThroughThreePoints(const EPoint& first, const EPoint& middle, const EPoint& last,
                                 int full, EPoint& center, float& radius, float& orgAngle,
                                 float& amplitude) {
  const float a1 = middle.GetX() - first.GetX(), b1 = middle.GetY() - first.GetY();
  const float c1 =
      0.5f * ((first.GetX() + middle.GetX()) * a1 + (first.GetY() + middle.GetY()) * b1);
  const float a2 = last.GetX() - middle.GetX(), b2 = last.GetY() - middle.GetY();
  const float c2 = 0.5f * ((middle.GetX() + last.GetX()) * a2 + (middle.GetY() + last.GetY()) * b2);
  // Twice the signed area of the triangle: its sign is the sense in which the points turn. It
  // is 0 for collinear points and for two equal points.
  const float d = a1 * b2 - a2 * b1;
  if (!(d != 0.0f) || !std::isfinite(d)) return false;
  const EPoint q((c1 * b2 - c2 * b1) / d, (a1 * c2 - a2 * c1) / d);
  const float r = (middle - q).Modulus();
  if (!std::isfinite(q.GetX()) || !std::isfinite(q.GetY()) || !std::isfinite(r)) return false;
  const float org = (first - q).Argument();
  float amp;
  if (full != 0) {
    amp = d > 0.0f ? kFullTurn : -kFullTurn;
  } else {
    amp = (last - q).Argument() - org;
    if (d > 0.0f && amp < 0.0f) amp += kFullTurn;
    if (d <= 0.0f && amp > 0.0f) amp -= kFullTurn;
  }
  center = q;
  radius = r;
  orgAngle = org;
  amplitude = amp;
  return true;
}

void ECircle::Set(const EPoint& first, const EPoint& middle, const EPoint& last, int full) {
  EPoint center;
  float radius, orgAngle, amplitude;
  if (!ThroughThreePoints(first, middle, last, full, center, radius, orgAngle, amplitude)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECircle::Set");
    return;
  }
  SetCenter(center);
  m_f32Radius = radius;
  m_f32Amplitude = amplitude;
  SetAngle(EFromRadians(orgAngle));
}

float ECircle::GetAmplitude() const { return EFromRadians(m_f32Amplitude); }

float ECircle::GetApexAngle() const { return EFromRadians(m_f32Angle + 0.5f * m_f32Amplitude); }

float ECircle::GetEndAngle() const { return EFromRadians(m_f32Angle + m_f32Amplitude); }

float ECircle::GetArcLength() const { return std::fabs(m_f32Radius * m_f32Amplitude); }

int ECircle::GetFull() const { return std::fabs(m_f32Amplitude) == kFullTurn ? 1 : 0; }

EPoint ECircle::PointAt(float theta) const {
  return EPoint(m_f32CenterX + m_f32Radius * std::cos(theta),
                m_f32CenterY + m_f32Radius * std::sin(theta));
}

EPoint ECircle::GetOrg() const { return PointAt(m_f32Angle); }

EPoint ECircle::GetApex() const { return PointAt(m_f32Angle + 0.5f * m_f32Amplitude); }

EPoint ECircle::GetEnd() const { return PointAt(m_f32Angle + m_f32Amplitude); }

EPoint ECircle::GetPoint(float t) const {
  return PointAt(m_f32Angle + 0.5f * m_f32Amplitude * (1.0f + t));
}

float ECircle::Distance(const ECircle& other) const {
  const float gap = GetCenter().Distance(other.GetCenter()) - m_f32Radius - other.m_f32Radius;
  return gap > 0.0f ? gap : 0.0f;
}

// Point-to-circle operations of EPoint and the circle conversion of EFrame.

float EPoint::Distance(const ECircle& circle, int arc) const {
  const EPoint k = circle.GetCenter();
  const EPoint pk = *this - k;
  if (arc != 0 && circle.GetFull() == 0) {
    // The turn from the origin direction to the point's direction, taken in the arc's sense (the
    // sign of its amplitude). Within the arc's span the nearest point of the arc lies on the
    // point's own ray; outside it, the nearer end point is the nearest.
    constexpr float kTurn = ECircle::kFullTurn;
    const float amplitude = EToRadians(circle.GetAmplitude());
    float turn = pk.Argument() - EToRadians(circle.GetOrgAngle());
    if (amplitude > 0.0f) {
      while (turn < 0.0f) turn += kTurn;
      while (turn >= kTurn) turn -= kTurn;
    } else {
      while (turn > 0.0f) turn -= kTurn;
      while (turn <= -kTurn) turn += kTurn;
    }
    if (std::fabs(turn) > std::fabs(amplitude))
      return std::min(Distance(circle.GetOrg()), Distance(circle.GetEnd()));
  }
  return std::fabs(pk.Modulus() - circle.GetRadius());
}

EPoint EPoint::Project(const ECircle& circle) const {
  const EPoint k = circle.GetCenter();
  const float phi = (*this - k).Argument();
  const float r = circle.GetRadius();
  return EPoint(k.GetX() + r * std::cos(phi), k.GetY() + r * std::sin(phi));
}

ECircle EFrame::LocalToGlobal(const ECircle& c) const {
  const float k = std::sqrt(std::fabs(GetDeterminant()));
  ECircle result;
  result.Set(LocalToGlobal(c.GetCenter()), c.GetDiameter() * k, c.GetOrgAngle(), c.GetDirect());
  return result;
}
