#include "vimo/drawing/drawadapter.h"

namespace Quarnel {

const DrawColor DefaultColor{-1, -1, -1};
const DrawColor BlackColor{0, 0, 0};
const DrawColor WhiteColor{255, 255, 255};
const DrawColor GreyColor{127, 127, 127};
const DrawColor RedColor{255, 0, 0};
const DrawColor BlueColor{0, 0, 255};

DrawAdapter::~DrawAdapter() = default;

}  // namespace Quarnel
