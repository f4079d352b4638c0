// Image unwarping machinery shared by the EWorld unwarping operations: the sampling geometry,
// the lookup-table entries, the row kernels and the region-checked drivers. Internal to the
// library; EWorld supplies its world-to-sensor mapping through a plain callback, so that the
// kernels can be exercised with any mapping.
#ifndef VIMO_CALIBRATION_UNWARP_KERNELS_H
#define VIMO_CALIBRATION_UNWARP_KERNELS_H

#include <cstdint>

#include "vimo/core/image.h"
#include "vimo/core/pixels.h"

namespace vimo_unwarp {

// Offset of a table entry whose output pixel has no source.
constexpr int32_t kNoSource = INT32_MIN;

// Instruction sets the kernels have paths for, slowest first. Every path gives the same bytes.
enum Isa { kIsaScalar = 0, kIsaSse2 = 1, kIsaAvx2 = 2 };
// The fastest path this processor runs (checked once).
Isa SupportedIsa();
// The path in use: the supported one unless UseIsa chose a slower one.
Isa ActiveIsa();
// Chooses the path, capped at the supported one (for tests and benchmarks); returns the path
// now in use.
Isa UseIsa(Isa isa);

// Maps the world point (x, y) to the sensor point (X, Y).
typedef void (*MapFunction)(const void* context, float x, float y, float& X, float& Y);
// Maps the world points (x[i], y), i < count, to (X[i], Y[i]): a row at a time, with the same
// result as MapFunction point by point.
typedef void (*MapRowFunction)(const void* context, const float* x, float y, int count, float* X,
                               float* Y);

// The row mapping of an EWorld (context: the world): its forward model on whole rows, with
// vector lanes where the model has a row form and the path allows.
void MapWorldRow(const void* world, const float* x, float y, int count, float* X, float* Y);

// Where output pixel (i, j) samples: the world point ((i - ox) * u, (j - oy) * v) mapped to the
// sensor by mapRow(context, ...) when given, else by map(context, ...).
struct Mapping {
  MapFunction map = nullptr;
  MapRowFunction mapRow = nullptr;
  const void* context = nullptr;
  float ox = 0.0f, oy = 0.0f;  // optical centre, pixels
  float u = 1.0f, v = 1.0f;    // world units per output pixel; v < 0 when world Y points up
};

// The mapping of a world with the given optical centre, scale (pixels per world unit) and ratio:
// square output pixels of 1 / scale world units, rows towards negative world y when ratio <= 0.
Mapping MakeMapping(MapFunction map, const void* context, float opticalCenterX,
                    float opticalCenterY, float scale, float ratio);

// Byte layout of a source region as the table offsets see it.
struct SourceLayout {
  int width = 0, height = 0;
  int pixelSize = 1;  // bytes per pixel
  int pitch = 0;      // bytes between rows
};

// Table entry for the sample position (X, Y): nearest neighbour takes column floor(X + 0.5)
// and row floor(Y - 0.5); bilinear stores the base offset of the pixel at (floor(X), floor(Y))
// with 8-bit fractions, interpolating between that row and the one above it. Positions
// outside the usable area, infinite or NaN give kNoSource.
ESubPixel64 NearestEntry(float X, float Y, const SourceLayout& source);
ESubPixel64 BilinearEntry(float X, float Y, const SourceLayout& source);

// Entries of the sample positions (X[i], Y[i]), i < count, as NearestEntry or BilinearEntry.
void ComputeEntries(const float* X, const float* Y, int count, const SourceLayout& source,
                    int interpolate, ESubPixel64* entries);

// Entries for row j of the output, columns 0 to width - 1.
void ComputeRow(const Mapping& mapping, const SourceLayout& source, int interpolate, int j,
                ESubPixel64* entries);

// One channel of the bilinear sample: with p0, p1 the upper pair and p2, p3 the lower pair,
// ((p0 (256 - a) + p1 a) (256 - c) + (p2 (256 - a) + p3 a) c) >> 16, evaluated as
// u << 8 + (l - u) c with u = p0 << 8 + (p1 - p0) a, which is the same integer in 32-bit
// unsigned arithmetic (the wrap-around cancels) with three multiplications instead of six.
inline uint32_t Blend(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t a, uint32_t c) {
  uint32_t upper = (p0 << 8) + (p1 - p0) * a;
  uint32_t lower = (p2 << 8) + (p3 - p2) * a;
  return ((upper << 8) + (lower - upper) * c) >> 16;
}

// Row kernels: produce count output pixels from count table entries. src.base is the source
// region's first pixel. Negative offsets give black. Every other offset is clamped so that all
// the bytes a sample reads lie between the region's first and last pixel: entries made by
// SetupUnwarp for this source are never changed by it, and a corrupted or foreign table cannot
// read outside that span (at worst it reads pixels of the same image beside a window region).
// Fractions are taken modulo 256.
struct RowSource {
  const uint8_t* base = nullptr;
  int pitch = 0;
  int32_t low = 0;    // smallest admissible offset
  int32_t high = -1;  // largest admissible offset; high < low: every entry gives black
};
RowSource MakeRowSource(const uint8_t* base, const SourceLayout& source, int interpolate);

void NearestRow(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst);
void NearestRow(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst);
void BilinearRow(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst);
void BilinearRow(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst);

// The AVX2 paths of the above: each handles a leading part of the row (a multiple of its
// vector width, or nothing when the source is too small for its wide loads) and returns how
// many entries or pixels it did. Call them only when SupportedIsa() is kIsaAvx2.
int ComputeEntriesAvx2(const float* X, const float* Y, int count, const SourceLayout& source,
                       int interpolate, ESubPixel64* entries);
int NearestRowAvx2(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst);
int NearestRowAvx2(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst);
int BilinearRowAvx2(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst);
int BilinearRowAvx2(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst);

// Region-checked operations. Each checks its regions, stopping at the first failure with the
// error state set and trace traced; nothing is written then. The source must be a non-void
// region; the table and the destination must already have its width and height (they are
// never resized). A destination overlapping the source is computed through a scratch image.
// A table holds byte offsets for the row pitch of the source it was set up for; it is meant
// for sources of that size, pixel type and pitch, and for the same interpolate value.
void Unwarp(const Mapping& mapping, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate,
            const char* trace);
void Unwarp(const Mapping& mapping, EROI<EC24>* src, EROI<EC24>* dst, int interpolate,
            const char* trace);
void SetupUnwarp(const Mapping& mapping, EROI<ESubPixel64>* table, EROI<EBW8>* src, int interpolate,
                 const char* trace);
void SetupUnwarp(const Mapping& mapping, EROI<ESubPixel64>* table, EROI<EC24>* src, int interpolate,
                 const char* trace);
void Unwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate,
            const char* trace);
void Unwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, EROI<EC24>* dst, int interpolate,
            const char* trace);

}  // namespace vimo_unwarp

#endif
