// A transition found on a profile: one run of samples beyond the detection limits.
#ifndef VIMO_GAUGES_PEAK_H
#define VIMO_GAUGES_PEAK_H

#include "vimo/core/vector.h"

// Plain record, fields in this order: first sample of the run, number of samples, sub-pixel
// centre (sample index), amplitude and area per pixel of thickness and smoothing, in grey
// levels beyond the limit (negative below the low limit).
struct EPeak {
  unsigned Start;
  unsigned Length;
  float Center;
  int Amplitude;
  int Area;
};

typedef EVectorTemplate<EPeak> EPeaksVector;

#endif
