// Fuzz target: loads arbitrary bytes as an image file (every format the library reads, told by
// the first bytes) into 8-bit grey, 16-bit grey and colour images, and checks that a load either
// fails with an error and leaves the image as it was, or gives an image within the pixel limit.
// Any crash, leak, sanitizer report or oversized allocation is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vimo/vimo.h"

namespace {

// The loaders read files: each input goes to one scratch file of this process.
const std::string& ScratchFile() {
  static const std::string path = [] {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/vimo_imagefile_fuzz_" + std::to_string(getpid());
  }();
  return path;
}

template <class T>
void LoadOnce(const char* path) {
  EImage<T> image(2, 2);
  EOk();
  image.Load(path);
  const E_ERRORS code = EGetError();
  if (code != E_OK) {
    if (code != E_ERROR_READ_FAILED && code != E_ERROR_BAD_SIGNATURE &&
        code != E_ERROR_ALLOCATION_FAILED)
      std::abort();  // only these codes describe a bad file
    if (image.GetWidth() != 2 || image.GetHeight() != 2) std::abort();
    return;
  }
  const int64_t pixels = static_cast<int64_t>(image.GetWidth()) * image.GetHeight();
  if (pixels < 1 || pixels > EGetImageFilePixelLimit()) std::abort();
  // Touch the first and last pixels: the whole buffer must be there.
  volatile T first = *image.GetImagePtr(0, 0);
  volatile T last = *image.GetImagePtr(image.GetWidth() - 1, image.GetHeight() - 1);
  (void)first;
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Small images are enough to reach every branch; the bound keeps each run fast and small.
  ESetImageFilePixelLimit(int64_t(1) << 22);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchFile();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) return 0;
  LoadOnce<EBW8>(path.c_str());
  LoadOnce<EBW16>(path.c_str());
  LoadOnce<EC24>(path.c_str());
  std::remove(path.c_str());
  return 0;
}
