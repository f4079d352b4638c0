// Fuzz target: loads arbitrary bytes as a landmark file. What loads must save and load back to
// the same bytes; a small set of landmarks then calibrates a world in a mode the last byte
// picks, and points are mapped both ways. Any crash, leak or sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vimo_fuzz::MemoryFile input, saved, resaved;
  EOk();
  input.Write(data, size);
  ELandmarkVector landmarks;
  landmarks.Load(input.Path());
  if (EGetError() != E_OK) {
    // A failed load leaves the vector as it was.
    if (landmarks.GetNumElements() != 0) std::abort();
    EOk();
    return 0;
  }
  landmarks.Save(saved.Path());
  ELandmarkVector again;
  again.Load(saved.Path());
  again.Save(resaved.Path());
  if (EGetError() != E_OK || again.GetNumElements() != landmarks.GetNumElements() ||
      saved.Read() != resaved.Read())
    std::abort();

  if (landmarks.GetNumElements() > 64 || size == 0) return 0;
  static const unsigned kModes[] = {
      E_CALIBRATION_SCALED,
      E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED,
      E_CALIBRATION_SCALED | E_CALIBRATION_TILTED,
      E_CALIBRATION_SCALED | E_CALIBRATION_RADIAL,
      E_CALIBRATION_SCALED | E_CALIBRATION_RADIAL | E_CALIBRATION_RADIAL2,
      E_CALIBRATION_BILINEAR,
      E_CALIBRATION_QUADRATIC,
      E_CALIBRATION_POLYNOMIAL,
      E_CALIBRATION_SCALED | E_CALIBRATION_TILTED | E_CALIBRATION_RADIAL,
      0xFFFFFFFFu};
  EWorld world;
  world.m_Landmark = landmarks;
  const uint8_t pick = data[size - 1];
  if (pick >= 0xF0) {
    world.AutoCalibrateLandmarks(pick & 1);
  } else {
    world.Calibrate(kModes[pick % (sizeof(kModes) / sizeof(kModes[0]))]);
  }
  world.ComputeCalibrationQualityIndicators();
  for (unsigned i = 0; i < landmarks.GetNumElements(); ++i) {
    const EPoint sensor = world.WorldToSensor(landmarks[i].WorldPoint);
    world.SensorToWorld(sensor);
  }
  EOk();
  return 0;
}
