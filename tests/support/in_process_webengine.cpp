// Tests link Qt WebEngine into themselves: the frame uses that side instead
// of loading the program's library.
#include "engine/webengine/web_engine_side.h"

namespace {
[[maybe_unused]] const bool installed = (webengine_side::useInProcess(webEngineSide()), true);
}  // namespace
