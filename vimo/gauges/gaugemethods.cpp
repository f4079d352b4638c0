// The operations shared by the fitting gauges, and the sampled-point vector file.
#include <cassert>
#include <cmath>
#include <new>

#include "vimo/core/vectorfile.h"
#include "vimo/gauges/gauge.h"

using namespace vimo_detail;

EGauge::EGauge(EGauge_OpDat* operationData)
    : m_f32FilteringThreshold(3.0f),
      m_un32NumFilteringPasses(0),
      m_un32NumValidSamples(0),
      m_f32AverageDistance(0.0f),
      m_pOpDat(operationData) {
  m_pOpDat->ResetDefaults();
}

EGauge::EGauge(const EGauge& other, EGauge_OpDat* operationData) : EGauge(operationData) {
  *this = other;
}

EGauge& EGauge::operator=(const EGauge& other) {
  if (this == &other) return *this;
  m_Samples = other.m_Samples;
  m_f32FilteringThreshold = other.m_f32FilteringThreshold;
  m_un32NumFilteringPasses = other.m_un32NumFilteringPasses;
  m_un32NumValidSamples = other.m_un32NumValidSamples;
  m_f32AverageDistance = other.m_f32AverageDistance;
  for (int i = 0; i < 4; ++i)
    m_pOpDat->m_n32MinNumFitSamples[i] = other.m_pOpDat->m_n32MinNumFitSamples[i];
  m_pOpDat->m_eClippingMode = other.m_pOpDat->m_eClippingMode;
  m_pOpDat->m_SkipRangeStarts = other.m_pOpDat->m_SkipRangeStarts;
  m_pOpDat->m_SkipRangeEnds = other.m_pOpDat->m_SkipRangeEnds;
  return *this;
}

EGauge::~EGauge() { delete m_pOpDat; }

ESampledPoint EGauge::GetSample(unsigned int index) const {
  if (index >= m_Samples.GetNumElements()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EGauge::GetSample");
    return ESampledPoint();
  }
  return m_Samples[index];
}

unsigned int EGauge::AddSkipRange(unsigned int a, unsigned int b) {
  assert(m_pOpDat->m_SkipRangeStarts.size() == m_pOpDat->m_SkipRangeEnds.size() &&
         "starts.size() == ends.size()");
  try {
    m_pOpDat->m_SkipRangeStarts.push_back(a < b ? a : b);
    try {
      m_pOpDat->m_SkipRangeEnds.push_back(a < b ? b : a);
    } catch (const std::bad_alloc&) {
      m_pOpDat->m_SkipRangeStarts.pop_back();
      throw;
    }
  } catch (const std::bad_alloc&) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("EGauge::AddSkipRange");
  }
  return static_cast<unsigned>(m_pOpDat->m_SkipRangeStarts.size()) - 1;
}

unsigned int EGauge::GetNumSkipRanges() const {
  assert(m_pOpDat->m_SkipRangeStarts.size() == m_pOpDat->m_SkipRangeEnds.size() &&
         "OpDat(this)->_skipRangeStarts.size() == OpDat(this)->_skipRangeEnds.size()");
  return static_cast<unsigned>(m_pOpDat->m_SkipRangeStarts.size());
}

void EGauge::GetSkipRange(unsigned int index, unsigned int& start, unsigned int& end) const {
  if (index >= GetNumSkipRanges()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EGauge::GetSkipRange");
    return;
  }
  start = m_pOpDat->m_SkipRangeStarts[index];
  end = m_pOpDat->m_SkipRangeEnds[index];
}

void EGauge::RemoveSkipRange(unsigned int index) {
  if (index >= GetNumSkipRanges()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EGauge::RemoveSkipRange");
    return;
  }
  m_pOpDat->m_SkipRangeStarts.erase(m_pOpDat->m_SkipRangeStarts.begin() + index);
  m_pOpDat->m_SkipRangeEnds.erase(m_pOpDat->m_SkipRangeEnds.begin() + index);
}

void EGauge::RemoveAllSkipRanges() {
  m_pOpDat->m_SkipRangeStarts.clear();
  m_pOpDat->m_SkipRangeEnds.clear();
}

void EGauge::SetMinNumFitSamples(int first, int second, int third, int fourth) {
  int32_t* n = m_pOpDat->m_n32MinNumFitSamples;
  n[0] = first;
  n[1] = second == -1 ? n[0] : second;
  n[2] = third == -1 ? n[0] : third;
  n[3] = fourth == -1 ? n[1] : fourth;
}

void EGauge::GetMinNumFitSamples(int& first, int& second, int& third, int& fourth) const {
  const int32_t* n = m_pOpDat->m_n32MinNumFitSamples;
  first = n[0];
  second = n[1];
  third = n[2];
  fourth = n[3];
}

unsigned EGauge::SampleCount(float length, float step) {
  if (!(step > 0.0f)) return 0;
  const float quotient = std::ceil(length / step);
  if (!std::isfinite(quotient) || quotient > static_cast<float>(kMaxGaugeSamples)) return 0;
  return quotient < 1.0f ? 1u : static_cast<unsigned>(quotient);
}

bool EGauge::CheckSamplingStep(float step, const char* trace) {
  if (std::isfinite(step) && step > 0.0f) return true;
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError(trace);
  return false;
}

bool EGauge::BeginSamples(unsigned n, const char* trace) {
  m_un32NumValidSamples = 0;
  m_SkipMask.clear();
  if (n == 0 || n > kMaxGaugeSamples) {
    m_Samples.Empty();
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return false;
  }
  try {
    // Without skip ranges no sample is skipped: the measurement keeps an empty mask instead of
    // allocating one (RecordSample reads only within the mask).
    if (!m_pOpDat->m_SkipRangeStarts.empty()) m_SkipMask = m_pOpDat->SkipMask(n);
  } catch (const std::bad_alloc&) {
    m_Samples.Empty();
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError(trace);
    return false;
  }
  m_Samples.Empty();
  m_Samples.SetNumElements(n);
  if (m_Samples.GetNumElements() != n) {
    ETraceError(trace);
    m_SkipMask.clear();
    return false;
  }
  return true;
}

void EGauge::RecordSample(unsigned i, int found, EPoint point, float transitionValue) {
  ESampledPoint& s = m_Samples[i];
  s = ESampledPoint();
  if (!found) return;
  s.Point = point;
  s.TransitionValue = transitionValue;
  if (i < m_SkipMask.size() && m_SkipMask[i] != 0) {
    s.Skipped = 1;
    return;
  }
  s.Valid = 1;
  ++m_un32NumValidSamples;
}

void EGauge::EndSamples() { std::vector<uint8_t>().swap(m_SkipMask); }

unsigned EGauge::FilterSamples(float limit, bool insideOnly) {
  unsigned removed = 0;
  const unsigned n = m_Samples.GetNumElements();
  for (unsigned i = 0; i < n; ++i) {
    ESampledPoint& s = m_Samples[i];
    if (!s.Valid || !(s.Distance > limit)) continue;
    if (insideOnly && s.Side != -1) continue;
    s.Valid = 0;
    s.FilteredOut = 1;
    ++removed;
  }
  m_un32NumValidSamples -= removed;
  return removed;
}

// The sampled-point vector file.
namespace {

const uint8_t kSampleSignature[4] = {0x45, 0x14, 0x01, 0x45 ^ 0x14 ^ 0x01};
const size_t kSampleRecordSize = 44;

void EncodeSample(const ESampledPoint& s, uint8_t* r) {
  PutF32(r + 12, s.Point.GetX());
  PutF32(r + 16, s.Point.GetY());
  PutF32(r + 20, s.Distance);
  PutU32(r + 24, static_cast<uint32_t>(s.Side));
  PutF32(r + 28, s.TransitionValue);
  PutU32(r + 32, static_cast<uint32_t>(s.Valid));
  PutU32(r + 36, static_cast<uint32_t>(s.FilteredOut));
  PutU32(r + 40, static_cast<uint32_t>(s.Skipped));
}

ESampledPoint DecodeSample(const uint8_t* r) {
  ESampledPoint s;
  s.Point = EPoint(GetF32(r + 12), GetF32(r + 16));
  s.Distance = GetF32(r + 20);
  s.Side = static_cast<int32_t>(GetU32(r + 24));
  s.TransitionValue = GetF32(r + 28);
  s.Valid = static_cast<int32_t>(GetU32(r + 32));
  s.FilteredOut = static_cast<int32_t>(GetU32(r + 36));
  s.Skipped = static_cast<int32_t>(GetU32(r + 40));
  return s;
}

void SaveSamples(const ESampledPointVector& v, const char* path, const char* trace) {
  SaveVectorFile(path, trace, kSampleSignature, kSampleRecordSize, v.GetNumElements(),
                 [&v](unsigned i, uint8_t* record) { EncodeSample(v[i], record); });
}

void LoadSamples(ESampledPointVector& v, const char* path, const char* trace) {
  std::vector<uint8_t> records;
  uint32_t count = 0;
  if (!LoadVectorFile(path, trace, kSampleSignature, kSampleRecordSize, records, count)) return;
  v.SetNumElements(count);
  if (v.GetNumElements() != count) return ETraceError(trace);
  for (uint32_t i = 0; i < count; ++i) v[i] = DecodeSample(&records[i * kSampleRecordSize]);
}

}  // namespace

template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Save(const char* path) {
  SaveSamples(*this, path, "EVector::Save");
}

template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Save(const unsigned short* path) {
  SaveSamples(*this, Utf8Path(path).c_str(), "EVector::Save ( Unicode)");
}

template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Load(const char* path) {
  LoadSamples(*this, path, "EVector::Load");
}

template <>
VIMO_EXPORT void EVectorTemplate<ESampledPoint>::Load(const unsigned short* path) {
  LoadSamples(*this, Utf8Path(path).c_str(), "EVector::Load ( Unicode)");
}
