// The world model: construction, copying, parameters, landmarks and the world record.
#include "vimo/calibration/world.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

inline bool Finite(float v) { return std::isfinite(v); }

// Reports a refused parameter: 32767 with the operation's name.
void Refuse(const char* operation) {
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError(operation);
}

const unsigned int kGroupMask = 0x00FE;

// Number of model groups present in a mode word: quadratic, bilinear, the physical models,
// raw, user functions.
int CountGroups(unsigned int modes) {
  return ((modes & E_CALIBRATION_QUADRATIC) != 0) + ((modes & E_CALIBRATION_BILINEAR) != 0) +
         ((modes & kGroupMask) != 0) + ((modes & E_CALIBRATION_RAW) != 0) +
         ((modes & E_CALIBRATION_USER) != 0);
}

}  // namespace

EWorld::EWorld() : EFrame() { Invalidate(); }

EWorld::EWorld(float centerX, float centerY, float angle, float scale)
    : EFrame(centerX, centerY, angle, scale) {
  Invalidate();
}

EWorld::EWorld(const EWorld& other) : EFrame(other) {
  Invalidate();
  CopyModel(other);
}

EWorld& EWorld::operator=(const EWorld& other) {
  if (this == &other) return *this;
  EFrame::operator=(other);
  CopyModel(other);
  return *this;
}

EWorld::~EWorld() = default;

EWorld* EWorld::CopyTo(EWorld* dest) const {
  if (dest == nullptr) return new EWorld(*this);
  if (dest != this) *dest = *this;
  return dest;
}

EPoint* EWorld::CreatePointClone() { return new EWorld(*this); }

// Everything but the frame, the quality statistics and the thresholds.
void EWorld::CopyModel(const EWorld& other) {
  m_Landmark = other.m_Landmark;
  m_f32TiltXAngle = other.m_f32TiltXAngle;
  m_f32TiltYAngle = other.m_f32TiltYAngle;
  m_f32PerspectiveStrength = other.m_f32PerspectiveStrength;
  m_f32DistortionStrength = other.m_f32DistortionStrength;
  m_f32DistortionStrength2 = other.m_f32DistortionStrength2;
  m_un32CalibrationModes = other.m_un32CalibrationModes;
  m_n32OriginLandmark = other.m_n32OriginLandmark;
  m_un32MatchedCount = other.m_un32MatchedCount;
  m_f32GridPitchX = other.m_f32GridPitchX;
  m_f32GridPitchY = other.m_f32GridPitchY;
  m_pWorldToSensor = other.m_pWorldToSensor;
  m_pWorldToSensorD = other.m_pWorldToSensorD;
  m_pSensorToWorld = other.m_pSensorToWorld;
  m_un32FreeParameterMask = other.m_un32FreeParameterMask;
  m_pUserWorldToSensor = other.m_pUserWorldToSensor;
  m_pUserWorldToSensorD = other.m_pUserWorldToSensorD;
  m_pUserSensorToWorld = other.m_pUserSensorToWorld;
  m_n32SensorWidth = other.m_n32SensorWidth;
  m_n32SensorHeight = other.m_n32SensorHeight;
  m_f32OpticalCenterX = other.m_f32OpticalCenterX;
  m_f32OpticalCenterY = other.m_f32OpticalCenterY;
  m_f32Ratio = other.m_f32Ratio;
  m_Coef = other.m_Coef;
  m_un32DistortionOrder = other.m_un32DistortionOrder;
}

// ---------------------------------------------------------------------------------------------
// Parameters

void EWorld::SetSensorSize(int width, int height) {
  if (width <= 0 || height <= 0) return Refuse("EWorld::SetSensorSize");
  m_n32SensorWidth = width;
  m_n32SensorHeight = height;
  m_f32OpticalCenterX = (width - 1) * 0.5f;
  m_f32OpticalCenterY = (height - 1) * 0.5f;
  Invalidate();
}

void EWorld::SetFieldSize(float width, float height) {
  // A zero width would make the scale infinite; the ratio divides by the scale.
  if (!Finite(width) || !Finite(height) || width == 0) return Refuse("EWorld::SetFieldSize");
  const float scale = m_n32SensorWidth / width;
  if (scale == 0 || !Finite(scale)) return Refuse("EWorld::SetFieldSize");
  const float ratio = height == 0 ? -1.0f : (m_n32SensorHeight / height) / scale;
  if (!Finite(ratio)) return Refuse("EWorld::SetFieldSize");
  EFrame::SetScale(scale);
  SetRatio(ratio);
}

void EWorld::SetResolution(float x, float y) {
  if (!Finite(x) || !Finite(y) || x == 0) return Refuse("EWorld::SetResolution");
  const float ratio = y == 0 ? -1.0f : y / x;
  if (!Finite(ratio)) return Refuse("EWorld::SetResolution");
  EFrame::SetScale(x);
  SetRatio(ratio);
}

void EWorld::SetRatio(float ratio) {
  if (!Finite(ratio)) return Refuse("EWorld::SetRatio");
  m_f32Ratio = ratio;
  if (std::fabs(ratio) == 1.0f)
    m_un32CalibrationModes &= ~E_CALIBRATION_ANISOTROPIC;
  else
    m_un32CalibrationModes |= E_CALIBRATION_ANISOTROPIC;
  if (ratio >= 0)
    m_un32CalibrationModes |= E_CALIBRATION_INVERSE;
  else
    m_un32CalibrationModes &= ~E_CALIBRATION_INVERSE;
  Invalidate();
}

void EWorld::SetAngle(float angle, int) {
  if (!Finite(angle)) return Refuse("EWorld::SetAngle");
  EFrame::SetAngle(angle);
  if (angle != 0)
    m_un32CalibrationModes |= E_CALIBRATION_SKEWED;
  else
    m_un32CalibrationModes &= ~E_CALIBRATION_SKEWED;
  Invalidate();
}

void EWorld::SetScale(float scale) {
  if (!Finite(scale) || scale == 0) return Refuse("EWorld::SetScale");
  EFrame::SetScale(scale);
  Invalidate();
}

void EWorld::SetCenter(float x, float y) {
  if (!Finite(x) || !Finite(y)) return Refuse("EWorld::SetCenter");
  EFrame::SetCenter(x, y);
  Invalidate();
}

void EWorld::SetCenter(const EPoint& center) { SetCenter(center.GetX(), center.GetY()); }

void EWorld::Set(const EPoint& center, float angle, float scale) {
  if (!Finite(center.GetX()) || !Finite(center.GetY()) || !Finite(angle) || !Finite(scale) ||
      scale == 0)
    return Refuse("EWorld::Set");
  EFrame::SetCenter(center.GetX(), center.GetY());
  EFrame::SetScale(scale);
  SetAngle(angle);
}

void EWorld::SetPerspective(float tiltX, float tiltY, float strength) {
  if (!Finite(tiltX) || !Finite(tiltY) || !Finite(strength))
    return Refuse("EWorld::SetPerspective");
  m_f32TiltXAngle = EToRadians(tiltX);
  m_f32TiltYAngle = EToRadians(tiltY);
  m_f32PerspectiveStrength = strength;
  if (m_f32TiltXAngle != 0 || m_f32TiltYAngle != 0)
    m_un32CalibrationModes |= E_CALIBRATION_TILTED;
  else
    m_un32CalibrationModes &= ~E_CALIBRATION_TILTED;
  Invalidate();
}

void EWorld::SetDistortion(float k, float k2) {
  if (!Finite(k) || !Finite(k2)) return Refuse("EWorld::SetDistortion");
  m_f32DistortionStrength = k;
  m_f32DistortionStrength2 = k2;
  if (k == 0 && k2 == 0) {
    m_un32CalibrationModes &= ~E_CALIBRATION_RADIAL;
  } else {
    m_un32CalibrationModes |= E_CALIBRATION_RADIAL;
    m_un32DistortionOrder = k2 == 0 ? 1 : 2;
  }
  Invalidate();
}

void EWorld::SetOpticalCenter(float x, float y) {
  if (!Finite(x) || !Finite(y)) return Refuse("EWorld::SetOpticalCenter");
  m_f32OpticalCenterX = x;
  m_f32OpticalCenterY = y;
  Invalidate();
}

void EWorld::SetCalibrationModes(unsigned int modes) {
  if (CountGroups(modes) != 1) {
    ESetError(E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP);
    ETraceError("EWorld::SetCalibrationModes");
    return;
  }
  m_un32CalibrationModes = modes;
  Invalidate();
}

void EWorld::SetSensor(int sensorWidth, int sensorHeight, float fieldWidth, float fieldHeight,
                       float centerX, float centerY, float angle, float tiltX, float tiltY,
                       float perspectiveStrength, float distortion, float distortion2,
                       float opticalCenterX, float opticalCenterY, unsigned int modes) {
  const float values[] = {fieldWidth, fieldHeight, centerX,        centerY,
                          angle,      tiltX,       tiltY,          perspectiveStrength,
                          distortion, distortion2, opticalCenterX, opticalCenterY};
  bool finite = true;
  for (float v : values) finite = finite && Finite(v);
  // The field sizes are divided by the sensor sizes.
  if (!finite || sensorWidth <= 0 || sensorHeight <= 0) return Refuse("EWorld::SetSensor");

  // 1. Modes and sensor size.
  unsigned int m = modes;
  const bool inverse = (m & E_CALIBRATION_INVERSE) != 0;
  const bool raw = (m & E_CALIBRATION_RAW) != 0;
  m_n32SensorWidth = sensorWidth;
  m_n32SensorHeight = sensorHeight;
  // 2. Resolutions, in world units per pixel.
  const float xr = fieldWidth != 0 ? fieldWidth / sensorWidth : 1.0f;
  float yr = fieldHeight != 0 ? fieldHeight / sensorHeight : xr;
  // 3. Scaled and anisotropic.
  if (fieldWidth != 0 && (xr != 1 || yr != 1)) m |= E_CALIBRATION_SCALED;
  if (fieldHeight != 0 && xr != yr) m |= E_CALIBRATION_ANISOTROPIC;
  // 4. Scale and ratio.
  EFrame::SetScale(1.0f / xr);
  if (!inverse) yr = -yr;
  m_f32Ratio = xr / yr;
  // 5. Angle.
  EFrame::SetAngle(angle);
  if (EToRadians(angle) != 0) m |= E_CALIBRATION_SKEWED;
  // 6. Centre, with the largest finite float standing for "default".
  float cx = centerX, cy = centerY;
  if (centerX == FLT_MAX) cx = raw ? 0.0f : (sensorWidth - 1) * 0.5f;
  if (centerY == FLT_MAX) {
    if (!raw)
      cy = (sensorHeight - 1) * 0.5f;
    else
      cy = inverse ? 0.0f : static_cast<float>(sensorHeight - 1);
  }
  EFrame::SetCenter(cx, cy);
  // 7. Perspective.
  m_f32TiltXAngle = EToRadians(tiltX);
  m_f32TiltYAngle = EToRadians(tiltY);
  m_f32PerspectiveStrength = perspectiveStrength;
  if (m_f32TiltXAngle != 0 || m_f32TiltYAngle != 0) m |= E_CALIBRATION_TILTED;
  // 8. Optical centre.
  m_f32OpticalCenterX = opticalCenterX == FLT_MAX ? (sensorWidth - 1) * 0.5f : opticalCenterX;
  m_f32OpticalCenterY = opticalCenterY == FLT_MAX ? (sensorHeight - 1) * 0.5f : opticalCenterY;
  // 9. Distortion.
  m_f32DistortionStrength = distortion;
  m_f32DistortionStrength2 = distortion2;
  if (distortion != 0 || distortion2 != 0) {
    m |= E_CALIBRATION_RADIAL;
    m_un32DistortionOrder = distortion2 == 0 ? 1 : 2;
  }
  m_un32CalibrationModes = m;
  // 10.
  Invalidate();
}

void EWorld::SetUserCalibration(EWorldToSensorFunction worldToSensor,
                                EWorldToSensorDerivativeFunction worldToSensorWithDerivatives,
                                ESensorToWorldFunction sensorToWorld) {
  E_ERRORS code = E_OK;
  if (sensorToWorld == nullptr)
    code = E_ERROR_INDEX_OUT_OF_RANGE;
  else if (worldToSensor == nullptr)
    code = E_ERROR_GRID_INDEX_OUT_OF_RANGE;
  else if (worldToSensorWithDerivatives == nullptr)
    code = E_ERROR_MISSING_DERIVATIVE;
  if (code != E_OK) {
    ESetError(code);
    ETraceError("EWorld::SetUserCalibration");
    return;
  }
  m_un32CalibrationModes = E_CALIBRATION_USER;
  m_pUserWorldToSensor = worldToSensor;
  m_pUserWorldToSensorD = worldToSensorWithDerivatives;
  m_pUserSensorToWorld = sensorToWorld;
  InstallUserFunctions();
}

// ---------------------------------------------------------------------------------------------
// Accessors

float EWorld::GetTiltXAngle() const { return EFromRadians(m_f32TiltXAngle); }
float EWorld::GetTiltYAngle() const { return EFromRadians(m_f32TiltYAngle); }
float EWorld::GetAngle(int) const { return EFrame::GetAngle(); }
float EWorld::GetXResolution() const { return GetScale(); }
float EWorld::GetYResolution() const { return std::fabs(m_f32Ratio) * GetScale(); }

// A zero scale or ratio has no finite field: 0 is returned.
float EWorld::GetFieldWidth() const {
  return GetScale() == 0 ? 0.0f : m_n32SensorWidth / GetScale();
}
float EWorld::GetFieldHeight() const {
  const float d = std::fabs(GetScale() * m_f32Ratio);
  return d == 0 ? 0.0f : m_n32SensorHeight / d;
}

float EWorld::GetDirect() const {
  float dXdx = 0, dXdy = 0, dYdx = 0, dYdy = 0;
  WorldToSensor(EPoint(0, 0), dXdx, dXdy, dYdx, dYdy);
  return dXdx * dYdy < dXdy * dYdx ? 1.0f : 0.0f;
}

// ---------------------------------------------------------------------------------------------
// Landmarks

void EWorld::AddLandmark(EPoint sensor, EPoint world) {
  ELandmark l;
  l.SensorPoint = sensor;
  l.WorldPoint = world;
  l.Matched = 1;
  m_Landmark.AddElement(l);
  if (EGetError() == E_ERROR_ALLOCATION_FAILED) ETraceError("EWorld::AddLandmark");
}

void EWorld::AddLandmark(EPoint sensor, EPoint world, float n0, float n1, float n2, float n3,
                         EListItem* item) {
  ELandmark l;
  l.SensorPoint = sensor;
  l.WorldPoint = world;
  l.Matched = 0;
  const float n[4] = {n0, n1, n2, n3};
  for (int i = 0; i < 4; ++i) std::memcpy(&l.Neighbour[i], &n[i], 4);
  l.Item = item;
  m_Landmark.AddElement(l);
}

void EWorld::AddPoint(EPoint point) {
  ELandmark l;
  l.SensorPoint = point;
  l.WorldPoint = point;
  m_Landmark.AddElement(l);
}

void EWorld::RemoveLandmark(unsigned int index) {
  if (index >= m_Landmark.GetNumElements()) {
    m_Landmark.RemoveElement(index);
    ETraceError("EWorld::RemoveLandmark");
    return;
  }
  m_Landmark.RemoveElement(index);
}

void EWorld::EmptyLandmarks() {
  m_Landmark.Empty();
  m_n32OriginLandmark = -1;
  m_un32MatchedCount = 0;
}

ELandmark EWorld::GetLandmark(unsigned index) {
  if (index >= m_Landmark.GetNumElements()) {
    (void)m_Landmark[index];  // sets 1011
    ETraceError("EWorld::GetLandmark");
    return ELandmark();
  }
  return m_Landmark[index];
}

namespace {

// Mean and second central moments of the sensor or world points of the landmarks.
EPoint Moments(const ELandmarkVector& v, bool sensor, float* mxx, float* mxy, float* myy) {
  const unsigned n = v.GetNumElements();
  double sx = 0, sy = 0;
  for (unsigned i = 0; i < n; ++i) {
    const EPoint& p = sensor ? v[i].SensorPoint : v[i].WorldPoint;
    sx += p.GetX(), sy += p.GetY();
  }
  if (n == 0) {
    if (mxx != nullptr) *mxx = 0, *mxy = 0, *myy = 0;
    return EPoint(0, 0);
  }
  const double gx = sx / n, gy = sy / n;
  if (mxx != nullptr) {
    double xx = 0, xy = 0, yy = 0;
    for (unsigned i = 0; i < n; ++i) {
      const EPoint& p = sensor ? v[i].SensorPoint : v[i].WorldPoint;
      const double dx = p.GetX() - gx, dy = p.GetY() - gy;
      xx += dx * dx, xy += dx * dy, yy += dy * dy;
    }
    *mxx = static_cast<float>(xx / n);
    *mxy = static_cast<float>(xy / n);
    *myy = static_cast<float>(yy / n);
  }
  return EPoint(static_cast<float>(gx), static_cast<float>(gy));
}

}  // namespace

EPoint EWorld::SensorPointsGravityCenter() const {
  return Moments(m_Landmark, true, nullptr, nullptr, nullptr);
}
EPoint EWorld::WorldPointsGravityCenter() const {
  return Moments(m_Landmark, false, nullptr, nullptr, nullptr);
}
EPoint EWorld::SensorPointsMoments(float& mxx, float& mxy, float& myy) const {
  return Moments(m_Landmark, true, &mxx, &mxy, &myy);
}
EPoint EWorld::WorldPointsMoments(float& mxx, float& mxy, float& myy) const {
  return Moments(m_Landmark, false, &mxx, &mxy, &myy);
}

// ---------------------------------------------------------------------------------------------
// Description

std::string EWorld::DescribeCalibration() const {
  static const struct {
    unsigned int bit;
    const char* name;
  } kNames[] = {{0x0001, " raw"},         {0x0002, " inverse"},   {0x0004, " scaled"},
                {0x0008, " anisotropic"}, {0x0010, " skewed"},    {0x0020, " tilted"},
                {0x0040, " radial"},      {0x0080, " radial2"},   {0x0100, " bilinear"},
                {0x0200, " quadratic"},   {0x0800, " polynomial"}};
  const unsigned int m = m_un32CalibrationModes;
  std::string out = ", Calibration modes:";
  if (m == 0) out += " -";
  for (const auto& n : kNames)
    if ((m & n.bit) != 0) out += n.name;
  out += "\n";
  if ((m & (E_CALIBRATION_QUADRATIC | E_CALIBRATION_BILINEAR)) == 0) return out;
  ValidateModel();
  const EWorldCoefficients& c = m_Coef;
  char line[256];
  const bool quadratic = (m & E_CALIBRATION_QUADRATIC) != 0;
  out += "World to sensor:\n";
  if (quadratic) {
    std::snprintf(line, sizeof line, "X = %f xx + %f xy + %f yy + %f x + %f y + %f\n", c.e[0],
                  c.e[1], c.e[2], c.a11, c.a12, c.tx);
    out += line;
    std::snprintf(line, sizeof line, "Y = %f xx + %f xy + %f yy + %f x + %f y + %f\n", c.e[3],
                  c.e[4], c.e[5], c.a21, c.a22, c.ty);
    out += line;
    out += "Sensor to world:\n";
    std::snprintf(line, sizeof line, "x = %f XX + %f XY + %f YY + %f X + %f Y + %f\n", c.f[0],
                  c.f[1], c.f[2], c.b11, c.b12, c.cx);
    out += line;
    std::snprintf(line, sizeof line, "y = %f XX + %f XY + %f YY + %f X + %f Y + %f\n", c.f[3],
                  c.f[4], c.f[5], c.b21, c.b22, c.cy);
    out += line;
  } else {
    std::snprintf(line, sizeof line, "X = %f xy + %f x + %f y + %f\n", c.e[1], c.a11, c.a12, c.tx);
    out += line;
    std::snprintf(line, sizeof line, "Y = %f xy + %f x + %f y + %f\n", c.e[4], c.a21, c.a22, c.ty);
    out += line;
    out += "Sensor to world:\n";
    std::snprintf(line, sizeof line, "x = %f XY + %f X + %f Y + %f\n", c.f[1], c.b11, c.b12, c.cx);
    out += line;
    std::snprintf(line, sizeof line, "y = %f XY + %f X + %f Y + %f\n", c.f[4], c.b21, c.b22, c.cy);
    out += line;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Frame angle, in radians as stored

double EWorld::AngleRadians() const { return GetRawAngle(); }
void EWorld::SetAngleRadians(double angle) { m_f32Angle = static_cast<float>(angle); }

// ---------------------------------------------------------------------------------------------
// The world record

void EWorld::Serialize(FILE* stream, int mode, unsigned int version) {
  if (mode != 0) {
    uint8_t recordVersion = 2;
    const bool ok = StreamTransfer(stream, mode, &recordVersion, 1) &&
                    SerializeFrameRecord(stream, mode, version) == E_OK &&
                    StreamTransfer(stream, mode, &m_un32CalibrationModes, 4) &&
                    StreamTransfer(stream, mode, &m_f32DistortionStrength, 4) &&
                    StreamTransfer(stream, mode, &m_f32TiltXAngle, 4) &&
                    StreamTransfer(stream, mode, &m_f32TiltYAngle, 4) &&
                    StreamTransfer(stream, mode, &m_f32PerspectiveStrength, 4) &&
                    StreamTransfer(stream, mode, &m_n32SensorWidth, 4) &&
                    StreamTransfer(stream, mode, &m_n32SensorHeight, 4) &&
                    StreamTransfer(stream, mode, &m_f32Ratio, 4) &&
                    StreamTransfer(stream, mode, &m_f32OpticalCenterX, 4) &&
                    StreamTransfer(stream, mode, &m_f32OpticalCenterY, 4);
    if (!ok) ETraceError("EWorld::Serialize");
    return;
  }
  // Reading: the fields go to locals first and the frame is restored on failure, so that a
  // failed read leaves the world as it was.
  uint8_t recordVersion = 0;
  if (!StreamTransfer(stream, mode, &recordVersion, 1)) return ETraceError("EWorld::Serialize");
  if (recordVersion > 2) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    return ETraceError("EWorld::Serialize");
  }
  const EFrame previous(*this);
  unsigned int modes = 0;
  float k = 0, tiltX = 0, tiltY = 0, P = 0, ratio = m_f32Ratio, ox = 0, oy = 0;
  int width = 0, height = 0;
  // A version 1 record carries its ratio in the frame record; without one the ratio stays.
  if (recordVersion < 2) EFrame::SetLoadedRatio(m_f32Ratio);
  bool ok = SerializeFrameRecord(stream, mode, version) == E_OK &&
            StreamTransfer(stream, mode, &modes, 4) && StreamTransfer(stream, mode, &k, 4) &&
            StreamTransfer(stream, mode, &tiltX, 4) && StreamTransfer(stream, mode, &tiltY, 4) &&
            StreamTransfer(stream, mode, &P, 4) && StreamTransfer(stream, mode, &width, 4) &&
            StreamTransfer(stream, mode, &height, 4);
  if (ok) {
    if (recordVersion >= 2)
      ok = StreamTransfer(stream, mode, &ratio, 4);
    else
      ratio = EFrame::GetLoadedRatio();
  }
  ok = ok && StreamTransfer(stream, mode, &ox, 4) && StreamTransfer(stream, mode, &oy, 4);
  if (!ok) {
    EFrame::operator=(previous);
    return ETraceError("EWorld::Serialize");
  }
  m_un32CalibrationModes = modes;
  m_f32DistortionStrength = k;
  m_f32TiltXAngle = tiltX;
  m_f32TiltYAngle = tiltY;
  m_f32PerspectiveStrength = P;
  m_n32SensorWidth = width;
  m_n32SensorHeight = height;
  m_f32Ratio = ratio;
  m_f32OpticalCenterX = ox;
  m_f32OpticalCenterY = oy;
  // The record holds no polynomial: start from the identity until the next calibration.
  if ((modes & (E_CALIBRATION_BILINEAR | E_CALIBRATION_QUADRATIC)) != 0)
    m_Coef = EWorldCoefficients();
  Invalidate();
}

void EWorld::Serialize(ESerializer* serializer, unsigned int version) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_NOT_FILE_SERIALIZER);
  Serialize(file->GetStream(), file->IsWriting(), version);
}
