// The landmark vector file: a signature, a count and one 64-byte record per landmark.
#include <vector>

#include "vimo/calibration/world.h"
#include "vimo/core/vectorfile.h"

using namespace vimo_detail;

namespace {

const uint8_t kSignature[4] = {0x45, 0x11, 0x01, 0x45 ^ 0x11 ^ 0x01};
const size_t kRecordSize = 64;

// The record of one landmark: two 20-byte point images (a 12-byte header without meaning,
// then x and y), the matched flag, the four links and the item reference (not stored).
void Encode(const ELandmark& l, uint8_t* r) {
  PutF32(r + 12, l.SensorPoint.GetX());
  PutF32(r + 16, l.SensorPoint.GetY());
  PutF32(r + 32, l.WorldPoint.GetX());
  PutF32(r + 36, l.WorldPoint.GetY());
  PutU32(r + 40, static_cast<uint32_t>(l.Matched));
  for (int i = 0; i < 4; ++i) PutU32(r + 44 + 4 * i, static_cast<uint32_t>(l.Neighbour[i]));
}

ELandmark Decode(const uint8_t* r) {
  ELandmark l;
  l.SensorPoint = EPoint(GetF32(r + 12), GetF32(r + 16));
  l.WorldPoint = EPoint(GetF32(r + 32), GetF32(r + 36));
  l.Matched = static_cast<int>(GetU32(r + 40));
  for (int i = 0; i < 4; ++i) l.Neighbour[i] = static_cast<int>(GetU32(r + 44 + 4 * i));
  l.Item = nullptr;
  return l;
}

void SaveTo(const ELandmarkVector& v, const char* path, const char* trace) {
  SaveVectorFile(path, trace, kSignature, kRecordSize, v.GetNumElements(),
                 [&v](unsigned i, uint8_t* record) { Encode(v[i], record); });
}

// The vector is touched only once the whole file has been read. Bytes after the counted
// records are not part of the vector and are not read.
void LoadFrom(ELandmarkVector& v, const char* path, const char* trace) {
  std::vector<uint8_t> records;
  uint32_t count = 0;
  if (!LoadVectorFile(path, trace, kSignature, kRecordSize, records, count)) return;
  v.SetNumElements(count);
  if (v.GetNumElements() != count) return ETraceError(trace);
  for (uint32_t i = 0; i < count; ++i) v[i] = Decode(&records[i * kRecordSize]);
}

}  // namespace

void ELandmarkVector::Save(const char* path) { SaveTo(*this, path, "EVector::Save"); }

void ELandmarkVector::Save(const unsigned short* path) {
  SaveTo(*this, Utf8Path(path).c_str(), "EVector::Save ( Unicode)");
}

void ELandmarkVector::Load(const char* path) { LoadFrom(*this, path, "EVector::Load"); }

void ELandmarkVector::Load(const unsigned short* path) {
  LoadFrom(*this, Utf8Path(path).c_str(), "EVector::Load ( Unicode)");
}
