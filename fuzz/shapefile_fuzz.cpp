// Fuzz target: loads arbitrary bytes as a shape file into a shape of the class the signature
// names, with and without daughters, draws the result in the three drawing modes, and saves
// what loaded. Any crash, leak, sanitizer report or oversized allocation is a finding.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "fuzz_support.h"
#include "vimo/vimo.h"

namespace {

using vimo_fuzz::NullAdapter;

std::unique_ptr<EShape> ShapeForClass(uint8_t classCode) {
  switch (classCode) {
    case 0x11: return std::make_unique<ECircleShape>();
    case 0x12: return std::make_unique<EFrameShape>();
    case 0x13: return std::make_unique<ERectangleShape>();
    case 0x15: return std::make_unique<ELineShape>();
    case 0x16: return std::make_unique<EWorldShape>();
    case 0x17: return std::make_unique<EWedgeShape>();
    case 0x18: return std::make_unique<EBGABall>(0, 0, 1, 1, 0);
    case 0x19: return std::make_unique<EBGAArray>();
    case 0x20: return std::make_unique<EBGAComponent>();
    case 0x21: return std::make_unique<ECircleGauge>();
    case 0x23: return std::make_unique<ERectangleGauge>();
    case 0x24: return std::make_unique<EPointGauge>();
    case 0x25: return std::make_unique<ELineGauge>();
    case 0x27: return std::make_unique<EWedgeGauge>();
    default: return std::make_unique<EPointShape>();
  }
}

void LoadOnce(const uint8_t* data, size_t size, int daughters) {
  FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input == nullptr) return;
  std::unique_ptr<EShape> shape = ShapeForClass(size > 1 ? data[1] : 0);
  EFilePointerSerializer reader(input, 0);
  bool loaded = true;
  try {
    shape->Load(&reader, daughters);
  } catch (const Quarnel::Vexlor::Exception&) {
    loaded = false;
  }
  std::fclose(input);
  // A failed load leaves a consistent tree, which must draw as safely as a loaded one.
  NullAdapter adapter;
  for (int mode = 0; mode <= 2; ++mode)
    shape->Draw(&adapter, static_cast<INS_DRAWING_MODES>(mode), 1);
  if (!loaded) return;
  char* bytes = nullptr;
  size_t length = 0;
  FILE* output = open_memstream(&bytes, &length);
  if (output == nullptr) return;
  EFilePointerSerializer writer(output, 1);
  try {
    shape->Save(&writer, 1);
  } catch (const Quarnel::Vexlor::Exception&) {
  }
  std::fclose(output);
  std::free(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  LoadOnce(data, size, 1);
  LoadOnce(data, size, 0);
  EOk();
  return 0;
}
