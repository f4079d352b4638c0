// The operation data of a fitting gauge: skip ranges, minimum sample counts per fitted element
// and the line gauge's clipping mode, with their record.
#ifndef VIMO_GAUGES_EGAUGE_OPDAT_H
#define VIMO_GAUGES_EGAUGE_OPDAT_H

#include <cstdint>
#include <vector>

#include "vimo/core/core.h"

class EGauge;

// How the line gauge bounds its fitted line.
enum GGE_CLIPPING_MODE : int {
  GGE_CLIPPING_NOMINAL_LENGTH = 1,  // the nominal length, centred on the fitted centroid
  GGE_CLIPPING_SAMPLE_SPAN = 2,     // from the first to the last valid sample
  GGE_CLIPPING_TOLERANCE_BOX = 3    // where the fitted line leaves the tolerance rectangle
};

// Entries a gauge kind does not use keep this value, in memory and in records.
const int32_t kUnusedMinNumFitSamples = 0x0BADF00D;

class VIMO_EXPORT EGauge_OpDat {
 public:
  EGauge_OpDat();
  EGauge_OpDat(const EGauge_OpDat&) = default;
  EGauge_OpDat& operator=(const EGauge_OpDat&) = default;
  virtual ~EGauge_OpDat();

  // The owner's current number of samples.
  virtual unsigned CountSamples(const EGauge* owner) const = 0;
  // The gauge kind's minimum fit sample counts.
  virtual void ResetDefaults() = 0;

  // The record, through a serializer (which throws on a failed transfer). `present` tells,
  // on reading, whether the stored form is there; an absent one counts as version 0. On
  // reading, the skip ranges are replaced only once every stored range has been read.
  void Serialize(ESerializer* serializer, int present);

  // The skip ranges as a byte mask over `count` samples (0xFF: skipped). An empty vector
  // when count is 0.
  std::vector<uint8_t> SkipMask(unsigned count) const;

  std::vector<uint32_t> m_SkipRangeStarts;
  std::vector<uint32_t> m_SkipRangeEnds;
  int32_t m_n32MinNumFitSamples[4];
  GGE_CLIPPING_MODE m_eClippingMode;
};

#endif
