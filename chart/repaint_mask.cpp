#include "chart/repaint_mask.h"

std::atomic<uint8_t> RepaintMask{kRepaintGlobe | kRepaintClock | kRepaintMagnifier | kRepaintStarSphere};
