// EFrame: a placement (centre, angle, scale) with a cached local-to-global transform chained to a
// mother frame; the least-squares placement fit and the Cholesky solver shared with calibration.
#ifndef VIMO_GEOMETRY_FRAME_H
#define VIMO_GEOMETRY_FRAME_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/point.h"

class ELine;
class ECircle;

// Bits of the flags argument of EFrame::Fit.
enum E_FRAME_FIT_FLAGS : unsigned int {
  E_FRAME_FIT_CENTER = 0,  // the centre is always fitted
  E_FRAME_FIT_SCALE = 4,   // also fit the scale
  E_FRAME_FIT_ANGLE = 16   // also fit the angle
};

// The inherited point is the frame's centre. The angle is stored in radians exactly as converted
// from the caller's unit (not normalised); GetAngle reads it back wrapped into (-pi, pi].
class VIMO_EXPORT EFrame : public EPoint {
 public:
  EFrame();
  // Set of those values (angle in the caller's unit); the frame is invalid.
  EFrame(float centerX, float centerY, float angle, float scale);
  EFrame(const EFrame&) = default;
  EFrame& operator=(const EFrame&) = default;

  EPoint* CreatePointClone() override;
  // Stream form: wraps the stream in an EFilePointerSerializer and runs the serializer form;
  // failures go to the error state (traced "EFrame::Serialize"), never thrown.
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  // Serializer form: version byte 2, the EPoint record of the centre, the angle (radians, as
  // stored) and the scale. A version-1 record also carries a trailing ratio, which reading puts
  // into the process-wide slot of GetLoadedRatio. A stored version above 2 throws 1108. Reading
  // makes the frame invalid.
  void Serialize(ESerializer* serializer, unsigned int version) override;

  // Copy of centre, angle, scale, the cache and its validity; null dest allocates (caller owns);
  // dest equal to this returns at once.
  EFrame* CopyTo(EFrame* dest) const;

  // centre <- center, angle <- EToRadians(angle), scale <- scale. Validity is not changed.
  void Set(const EPoint& center, float angle, float scale);
  void SetAngle(float angle);
  void SetScale(float scale) { m_f32Scale = scale; }

  float GetCenterX() const { return m_f32CenterX; }
  float GetCenterY() const { return m_f32CenterY; }
  float GetScale() const { return m_f32Scale; }
  // The stored angle wrapped into (-pi, pi], in the caller's unit. An infinite or NaN angle reads
  // back as NaN.
  float GetAngle() const;
  // The stored angle in radians, as set (not wrapped).
  float GetRawAngle() const { return m_f32Angle; }
  // 1 when the cached transform keeps orientation (m11*m22 >= m12*m21), else 0.
  float GetDirect() const;

  void InvalidateFrame() { m_bFrameValid = false; }
  // Marks the cache as reflecting the current placement; the shape layer calls it after
  // ValidateFrame.
  void SetFrameValid(int valid) { m_bFrameValid = valid != 0; }
  int IsFrameValid() const { return m_bFrameValid ? 1 : 0; }
  // Recomputes the cache from the own placement composed after mother's cache (mother may be
  // null). A singular result (scale 0 in the chain) sets 1051, traced "EFrame::ValidateFrame",
  // and keeps the previous inverse. A NaN or infinite placement gives a non-finite cache without
  // an error. Does not change the validity.
  void ValidateFrame(const EFrame* mother);

  // The cached transform: global = (m11*x + m12*y + tx, m21*x + m22*y + ty).
  void GetTransform(float& m11, float& m12, float& m21, float& m22, float& tx, float& ty) const;
  void GetInverse(float& i11, float& i12, float& i21, float& i22) const;
  // m11*m22 - m12*m21 of the cached transform.
  float GetDeterminant() const;

  // Conversions through the cached transform (the frame must have been validated).
  EPoint LocalToGlobal(const EPoint& p) const;
  EPoint GlobalToLocal(const EPoint& p) const;
  // Centre converted; angle = f's angle + this frame's own angle; scale = f's scale times this
  // frame's own scale (the mother's angle and scale do not enter).
  EFrame LocalToGlobal(const EFrame& f) const;
  // The inverse of the above; with an own scale of 0 the scale is kept as f's, and 1051 is set
  // (traced "EFrame::GlobalToLocal").
  EFrame GlobalToLocal(const EFrame& f) const;
  // Centre converted, length scaled by sqrt|det|; the line keeps its own angle.
  ELine LocalToGlobal(const ELine& l) const;
  // A full circle: centre converted, diameter scaled by sqrt|det|, the input's origin angle and
  // sense.
  ECircle LocalToGlobal(const ECircle& c) const;

  // Least-squares placement from point pairs through the single process-wide accumulator (one
  // fit at a time per process). ResetFit empties it; AccumulateFit adds one (global, local)
  // pair; Fit solves a copy of it, so Fit may be repeated and more pairs added afterwards. The
  // sums and the solution are kept in double precision; the results are stored as floats.
  static void ResetFit();
  static void AccumulateFit(const EPoint& global, const EPoint& local);
  // Sets the centre always, the scale with flag 4 and the angle with flag 16. Fewer than three
  // independent pairs (or collinear points) set 1050, traced "EFrame::Fit", and leave the
  // frame unchanged. Validity is not changed.
  void Fit(unsigned int flags);

  // The process-wide slot that receives the trailing ratio of a version-1 frame record; a world
  // record of version 1 takes its ratio from here. 1 until a version-1 record is read.
  static float GetLoadedRatio();
  static void SetLoadedRatio(float ratio);

 protected:
  // Raw transfer of one field of a stream-form record (mode non-zero writes). On failure sets
  // 1103 (read) or 1104 (write) and returns false; on reading, bytes change only on success.
  static bool StreamTransfer(FILE* stream, int mode, void* bytes, unsigned size);
  // Runs this frame's record on the stream as the stream form does and returns the error code it
  // raised (E_OK on success), so that stream-form records can stop after a failed frame record.
  E_ERRORS SerializeFrameRecord(FILE* stream, int mode, unsigned int version);

  float m_f32Angle;
  float m_f32Scale;
  float m_f32M11, m_f32M12, m_f32M21, m_f32M22;
  float m_f32I11, m_f32I12, m_f32I21, m_f32I22;
  float m_f32Tx, m_f32Ty;
  bool m_bFrameValid;
};

// Free accessor of EFrame::GetLoadedRatio for record readers.
VIMO_EXPORT float EFrame_GetLoadedRatio();

// Cholesky solution of the symmetric positive definite system N u = v, in place: matrix holds
// N (n x n, rows `stride` floats apart; its strict upper triangle receives the factor), vector
// holds v and receives u. A non-positive (or NaN) pivot sets 1050, traced
// "SolvePositiveDefinite", and stops with vector unchanged. Null arrays or stride < n set 32767.
VIMO_EXPORT void SolvePositiveDefinite(float* matrix, unsigned int stride, float* vector,
                                       unsigned int n);

#endif
