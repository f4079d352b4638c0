// Fuzz target: loads arbitrary bytes as a sampled-point file. What loads must save and load
// back to the same bytes. Any crash, leak or sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vimo_fuzz::MemoryFile input, saved, resaved;
  EOk();
  input.Write(data, size);
  ESampledPointVector points;
  points.Load(input.Path());
  if (EGetError() != E_OK) {
    // A failed load leaves the vector as it was.
    if (points.GetNumElements() != 0) std::abort();
    EOk();
    return 0;
  }
  points.Save(saved.Path());
  ESampledPointVector again;
  again.Load(saved.Path());
  again.Save(resaved.Path());
  if (EGetError() != E_OK || again.GetNumElements() != points.GetNumElements() ||
      saved.Read() != resaved.Read())
    std::abort();
  EOk();
  return 0;
}
