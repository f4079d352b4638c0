// Image unwarping of a calibrated world: the world gives the sampling geometry (optical centre,
// scale, ratio) and its world-to-sensor mapping; the sampling is done by the unwarp kernels.
#include "vimo/calibration/unwarp_kernels.h"
#include "vimo/calibration/world.h"

namespace {

void MapThroughWorld(const void* context, float x, float y, float& X, float& Y) {
  EPoint sensor = static_cast<const EWorld*>(context)->WorldToSensor(EPoint(x, y));
  X = sensor.GetX();
  Y = sensor.GetY();
}

vimo_unwarp::Mapping MappingOf(const EWorld& world) {
  vimo_unwarp::Mapping mapping =
      vimo_unwarp::MakeMapping(MapThroughWorld, &world, world.GetOpticalCenterX(),
                               world.GetOpticalCenterY(), world.GetScale(), world.GetRatio());
  mapping.mapRow = vimo_unwarp::MapWorldRow;
  return mapping;
}

}  // namespace

void EWorld::Unwarp(EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate) {
  vimo_unwarp::Unwarp(MappingOf(*this), src, dst, interpolate, "EWorld::Unwarp ( BW8)");
}

void EWorld::Unwarp(EROI<EC24>* src, EROI<EC24>* dst, int interpolate) {
  vimo_unwarp::Unwarp(MappingOf(*this), src, dst, interpolate, "EWorld::Unwarp ( C24)");
}

void EWorld::SetupUnwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, int interpolate) {
  vimo_unwarp::SetupUnwarp(MappingOf(*this), table, src, interpolate, "EWorld::SetupUnwarp ( BW8)");
}

void EWorld::SetupUnwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, int interpolate) {
  vimo_unwarp::SetupUnwarp(MappingOf(*this), table, src, interpolate, "EWorld::SetupUnwarp ( C24)");
}

void EWorld::Unwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate) {
  vimo_unwarp::Unwarp(table, src, dst, interpolate, "EWorld::Unwarp ( Precomputed, BW8)");
}

void EWorld::Unwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, EROI<EC24>* dst, int interpolate) {
  vimo_unwarp::Unwarp(table, src, dst, interpolate, "EWorld::Unwarp ( Precomputed, C24)");
}
