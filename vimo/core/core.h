// The core imaging library: error state, settings, pixels, vectors, serializers, images, and
// VIMO_EXPORT (generated vimo_export.h), the mark of every class and function the shared
// library exports.
#ifndef VIMO_CORE_CORE_H
#define VIMO_CORE_CORE_H

#include "vimo/core/errors.h"
#include "vimo/core/image.h"
#include "vimo/core/pixels.h"
#include "vimo/core/serializer.h"
#include "vimo/core/settings.h"
#include "vimo/core/vector.h"
#include "vimo/core/vimo_export.h"

#endif
