// vimo: sub-pixel geometric measurement in machine-vision images. Includes every public header.
#ifndef VIMO_VIMO_H
#define VIMO_VIMO_H

#include "vimo/bga/bga.h"
#include "vimo/bga/bgaball.h"
#include "vimo/bga/bgacomponent.h"
#include "vimo/calibration/vexlor_delaunaytriangulation.h"
#include "vimo/calibration/world.h"
#include "vimo/calibration/worldshape.h"
#include "vimo/core/codedimage.h"
#include "vimo/core/core.h"
#include "vimo/drawing/drawadapter.h"
#include "vimo/drawing/imagedrawadapter.h"
#include "vimo/drawing/svgdrawadapter.h"
#include "vimo/gauges/circlegauge.h"
#include "vimo/gauges/edgegauge.h"
#include "vimo/gauges/egauge_opdat.h"
#include "vimo/gauges/gauge.h"
#include "vimo/gauges/linegauge.h"
#include "vimo/gauges/pointgauge.h"
#include "vimo/gauges/rectanglegauge.h"
#include "vimo/gauges/transition.h"
#include "vimo/gauges/wedgegauge.h"
#include "vimo/geometry/geometry.h"
#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/pointshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/wedgeshape.h"

#endif
