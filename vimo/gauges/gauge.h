// EGauge: what the fitting gauges (line, circle, rectangle, wedge) share: the samples of the
// last measurement, outlier filtering, skip ranges, minimum fit sample counts and the two
// summary results.
#ifndef VIMO_GAUGES_GAUGE_H
#define VIMO_GAUGES_GAUGE_H

#include <cstdint>
#include <vector>

#include "vimo/core/core.h"
#include "vimo/gauges/egauge_opdat.h"
#include "vimo/geometry/point.h"

// One sample of a measurement. A new sample has every field 0; at most one of Valid,
// FilteredOut and Skipped is set, and a sample with none set found no transition.
struct ESampledPoint {
  EPoint Point;               // the transition, in the gauge's placement coordinates
  float Distance = 0;         // to the last fitted model, non-negative
  int Side = 0;               // +1 outside the fitted model, -1 inside, 0 on it
  float TransitionValue = 0;  // signed area of the selected peak
  int Valid = 0;              // takes part in the fit
  int FilteredOut = 0;        // removed by a filtering pass
  int Skipped = 0;            // found, but inside a skip range
};

// The sampled-point vector file: signature 0x45 0x14 0x01 0x50, a 32-bit count, then 44-byte
// records (a 12-byte header without meaning, x, y, distance, side, transition value, valid,
// filtered out, skipped). Errors 1102, 1103, 1104, 1105, 1106 with the trace of the call.
template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Save(const char* path);
template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Save(const unsigned short* path);
template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Load(const char* path);
template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Load(const unsigned short* path);

typedef EVectorTemplate<ESampledPoint> ESampledPointVector;

// Most samples one measurement takes: a sampling step that would ask for more is refused
// with 32767 before anything is allocated.
const unsigned kMaxGaugeSamples = 1u << 22;

class VIMO_EXPORT EGauge {
 public:
  virtual ~EGauge();

  // Filtering: each pass removes the valid samples farther than threshold × average distance
  // from the last fit, then refits.
  float GetFilteringThreshold() const { return m_f32FilteringThreshold; }
  void SetFilteringThreshold(float threshold) { m_f32FilteringThreshold = threshold; }
  unsigned int GetNumFilteringPasses() const { return m_un32NumFilteringPasses; }
  void SetNumFilteringPasses(unsigned int passes) { m_un32NumFilteringPasses = passes; }

  // Results of the last measurement.
  unsigned int GetNumValidSamples() const { return m_un32NumValidSamples; }
  float GetAverageDistance() const { return m_f32AverageDistance; }
  ESampledPointVector& GetSamples() { return m_Samples; }
  const ESampledPointVector& GetSamples() const { return m_Samples; }
  // The sample at index; past the last, error 1011 and a fresh sample.
  ESampledPoint GetSample(unsigned int index) const;

  // Skip ranges: samples whose index lies in a range are measured but kept out of the fit.
  unsigned int AddSkipRange(unsigned int a, unsigned int b);
  unsigned int GetNumSkipRanges() const;
  void GetSkipRange(unsigned int index, unsigned int& start, unsigned int& end) const;
  void RemoveSkipRange(unsigned int index);
  void RemoveAllSkipRanges();

  // Minimum valid samples per fitted element; -1 takes a default (second and third: the
  // first; fourth: the second).
  void SetMinNumFitSamples(int first, int second, int third, int fourth);
  void GetMinNumFitSamples(int& first, int& second, int& third, int& fourth) const;

 protected:
  // Takes ownership of the gauge kind's operation data.
  explicit EGauge(EGauge_OpDat* operationData);
  // Copies samples, parameters, results and the operation data's fields (not its kind).
  EGauge(const EGauge& other, EGauge_OpDat* operationData);
  EGauge& operator=(const EGauge& other);
  EGauge(const EGauge&) = delete;

  EGauge_OpDat* OpDat() const { return m_pOpDat; }

  // The number of samples of an edge of `length` sampled every `step`: max(1, ceil(length /
  // step)) on the single-precision quotient, or 0 when the quotient is not a finite number
  // of at most kMaxGaugeSamples (NaN or infinite geometry, a step of 0 or below).
  static unsigned SampleCount(float length, float step);
  // Whether a sampling step can be stored: finite and positive. Otherwise sets 32767 with
  // the trace.
  static bool CheckSamplingStep(float step, const char* trace);

  // Start of a measurement of n samples: n fresh samples, NumValidSamples 0, the skip mask
  // built. n of 0 or above kMaxGaugeSamples sets 32767 with the trace and returns false
  // with the samples emptied; an allocation failure sets 1303.
  bool BeginSamples(unsigned n, const char* trace);
  // Records sample i after its transition measurement: no transition → no flag; found and
  // in a skip range → point and value kept, skipped; otherwise valid and counted.
  void RecordSample(unsigned i, int found, EPoint point, float transitionValue);
  // Releases the skip mask at the end of a measurement.
  void EndSamples();

  // Makes every valid sample whose distance is strictly above limit filtered out; with
  // insideOnly, only those on the inside (side -1). Returns the count removed.
  unsigned FilterSamples(float limit, bool insideOnly);
  // The filtering passes: each removes the samples beyond AverageDistance × threshold and
  // calls fit().
  template <class Fit>
  void RunFilteringPasses(Fit fit) {
    // A pass that removes nothing refits the same samples to the same result, and so would
    // every later pass: stopping there keeps a huge pass count from running for ever.
    for (unsigned pass = 0; pass < m_un32NumFilteringPasses; ++pass) {
      if (FilterSamples(m_f32AverageDistance * m_f32FilteringThreshold, false) == 0) break;
      fit();
    }
  }

  ESampledPointVector m_Samples;
  float m_f32FilteringThreshold;
  uint32_t m_un32NumFilteringPasses;
  uint32_t m_un32NumValidSamples;
  float m_f32AverageDistance;
  EGauge_OpDat* m_pOpDat;

 private:
  std::vector<uint8_t> m_SkipMask;  // lives for one measurement
};

#endif
