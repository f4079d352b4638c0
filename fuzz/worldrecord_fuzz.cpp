// Fuzz target: reads arbitrary bytes as a world record (the first byte is the container's
// format version), then uses the world: a record that reads must write and read back to the
// same bytes, points are mapped both ways, a small image is unwarped directly and through a
// table, and the world shape is drawn into the image and SVG adapters at a zoom the input
// picks. Any crash, leak or sanitizer report is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"

namespace {

std::vector<uint8_t> WriteRecord(EWorld& world, unsigned version) {
  char* bytes = nullptr;
  size_t length = 0;
  FILE* output = open_memstream(&bytes, &length);
  if (output == nullptr) std::abort();
  world.Serialize(output, 1, version);
  std::fclose(output);
  std::vector<uint8_t> record(bytes, bytes + length);
  std::free(bytes);
  return record;
}

bool ReadRecord(EWorld& world, const uint8_t* data, size_t size, unsigned version) {
  if (size == 0) return false;
  FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input == nullptr) return false;
  EOk();
  world.Serialize(input, 0, version);
  std::fclose(input);
  const bool ok = EGetError() == E_OK;
  EOk();
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  EOk();
  const unsigned version = data[0];
  const uint8_t options = data[1];
  EWorldShape world;
  if (!ReadRecord(world, data + 2, size - 2, version)) return 0;

  const std::vector<uint8_t> first = WriteRecord(world, version);
  EWorldShape again;
  if (!ReadRecord(again, first.data(), first.size(), version)) std::abort();
  if (WriteRecord(again, version) != first) std::abort();

  for (int i = -2; i <= 2; ++i) {
    const EPoint sensor = world.WorldToSensor(EPoint(i * 7.5f, i * -3.25f));
    world.SensorToWorld(sensor);
    world.SensorToWorld(EPoint(i * 40.0f, i * 25.0f));
  }

  EImage<EBW8> source(16, 12), unwarped(16, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) source.SetPixel(static_cast<EBW8>((x * 16 + y * 5) & 255), x, y);
  if (options & 1) {
    world.Unwarp(&source, &unwarped, options & 2);
  } else {
    EImage<ESubPixel64> table(16, 12);
    world.SetupUnwarp(&table, &source, options & 2);
    world.Unwarp(&table, &source, &unwarped, options & 2);
  }
  EOk();

  static const float kZooms[] = {1.0f, 0.001f, 1000.0f, 1.0e6f, 3.0e-7f, 1.0e30f, -2.0f, 1.0e-30f};
  world.SetZoom(kZooms[(options >> 2) & 7], kZooms[(options >> 5) & 7]);
  world.SetPan(options & 0x80 ? 1.0e9f : 0.0f, 0.0f);
  EOk();
  EImage<EC24> canvas(40, 30);
  Quarnel::ImageDrawAdapter image(&canvas);
  Quarnel::SvgDrawAdapter svg(40, 30);
  vimo_fuzz::NullAdapter null;
  for (int mode = 0; mode <= 2; ++mode) {
    world.Draw(&image, static_cast<INS_DRAWING_MODES>(mode), 1);
    world.Draw(&svg, static_cast<INS_DRAWING_MODES>(mode), 1);
    world.Draw(&null, static_cast<INS_DRAWING_MODES>(mode), 1);
  }
  world.DrawGrid(&image);
  EOk();
  return 0;
}
