// The geometry value classes: points, frames, lines, circles, rectangles and wedges.
#ifndef VIMO_GEOMETRY_GEOMETRY_H
#define VIMO_GEOMETRY_GEOMETRY_H

#include "vimo/geometry/circle.h"
#include "vimo/geometry/frame.h"
#include "vimo/geometry/line.h"
#include "vimo/geometry/point.h"
#include "vimo/geometry/rectangle.h"
#include "vimo/geometry/wedge.h"

#endif
