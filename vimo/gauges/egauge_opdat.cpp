// The operation data of the fitting gauges.
#include "vimo/gauges/egauge_opdat.h"

#include <cassert>

EGauge_OpDat::EGauge_OpDat() : m_eClippingMode(GGE_CLIPPING_NOMINAL_LENGTH) {
  for (int32_t& n : m_n32MinNumFitSamples) n = kUnusedMinNumFitSamples;
}

EGauge_OpDat::~EGauge_OpDat() = default;

std::vector<uint8_t> EGauge_OpDat::SkipMask(unsigned count) const {
  assert(m_SkipRangeStarts.size() == m_SkipRangeEnds.size() && "starts.size() == ends.size()");
  std::vector<uint8_t> mask(count, 0);
  for (size_t r = 0; r < m_SkipRangeStarts.size(); ++r) {
    uint32_t start = m_SkipRangeStarts[r];
    if (start >= count) continue;
    uint32_t end = m_SkipRangeEnds[r] < count ? m_SkipRangeEnds[r] : count - 1;
    for (uint32_t i = start; i <= end; ++i) mask[i] = 0xFF;
  }
  return mask;
}

void EGauge_OpDat::Serialize(ESerializer* serializer, int present) {
  assert(m_SkipRangeStarts.size() == m_SkipRangeEnds.size() && "starts.size() == ends.size()");
  const bool reading = serializer->IsReading() != 0;
  uint32_t version = 2;
  if (!reading || present) serializer->TransferValue(version, "vernum_EGauge_OpDat");
  if (!reading) {
    for (int i = 0; i < 4; ++i) {
      static const char* const kNames[4] = {"_minNumFitSamples[0]", "_minNumFitSamples[1]",
                                            "_minNumFitSamples[2]", "_minNumFitSamples[3]"};
      serializer->TransferValue(m_n32MinNumFitSamples[i], kNames[i]);
    }
    int32_t clipping = m_eClippingMode;
    serializer->TransferValue(clipping, "_clippingMode");
    uint32_t ranges = static_cast<uint32_t>(m_SkipRangeStarts.size());
    serializer->TransferValue(ranges, "nbRanges");
    for (uint32_t r = 0; r < ranges; ++r) {
      serializer->TransferValue(m_SkipRangeStarts[r], "start");
      serializer->TransferValue(m_SkipRangeEnds[r], "end");
    }
    return;
  }
  if (!present) version = 0;
  if (version > 2) throw Quarnel::Vexlor::Exception(E_ERROR_GAUGE_VERSION_TOO_NEW);
  int32_t minimum[4];
  int32_t clipping = GGE_CLIPPING_NOMINAL_LENGTH;
  if (version >= 2) {
    serializer->TransferValue(minimum[0], "_minNumFitSamples[0]");
    serializer->TransferValue(minimum[1], "_minNumFitSamples[1]");
    serializer->TransferValue(minimum[2], "_minNumFitSamples[2]");
    serializer->TransferValue(minimum[3], "_minNumFitSamples[3]");
    serializer->TransferValue(clipping, "_clippingMode");
  }
  // Ranges are taken one pair at a time, so a count larger than what the stream holds fails
  // on the first missing pair instead of allocating for the count.
  std::vector<uint32_t> starts, ends;
  if (version >= 1) {
    uint32_t ranges = 0;
    serializer->TransferValue(ranges, "nbRanges");
    for (uint32_t r = 0; r < ranges; ++r) {
      uint32_t start = 0, end = 0;
      serializer->TransferValue(start, "start");
      serializer->TransferValue(end, "end");
      starts.push_back(start);
      ends.push_back(end);
    }
  }
  if (version >= 2) {
    for (int i = 0; i < 4; ++i) m_n32MinNumFitSamples[i] = minimum[i];
    m_eClippingMode = static_cast<GGE_CLIPPING_MODE>(clipping);
  } else {
    ResetDefaults();
    m_eClippingMode = GGE_CLIPPING_NOMINAL_LENGTH;
  }
  // Version 0 holds no ranges: the gauge is left with none.
  m_SkipRangeStarts.swap(starts);
  m_SkipRangeEnds.swap(ends);
}
