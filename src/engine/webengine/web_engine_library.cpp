// The library's one entry point, found by name when the frame loads it.
#include "engine/webengine/web_engine_side.h"

extern "C" Q_DECL_EXPORT IWebEngineSide* zelvo_webengine_side() { return webEngineSide(); }
