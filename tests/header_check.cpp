// Both public headers compile cleanly under the strictest casts a user may
// enable (-Wuseless-cast: a cast to the type a value already has on this
// target); tests/CMakeLists.txt adds the flag.  -Wpadded is documented
// instead (README): the frozen filter record and a few C++ structs pad.
#include "idprom.h"
#include "idprom.hpp"
