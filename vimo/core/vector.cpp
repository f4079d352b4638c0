#include "vimo/core/vector.h"

#include <cstdlib>

void* Vexlor_Malloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }

void Vexlor_Free(void* pointer) { std::free(pointer); }
