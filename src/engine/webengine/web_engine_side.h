#pragma once

// The Qt WebEngine side of the program, as its library hands it to the
// frame (or a test that links it uses it directly).
#include "engine/webengine_side.h"

IWebEngineSide* webEngineSide();
