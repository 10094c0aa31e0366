// The lights of a map package (.unr, .dx, .run, .ut2): listed as T3D's are,
// never written.
#ifndef TINTWISE_LIGHTS_MAP_H
#define TINTWISE_LIGHTS_MAP_H

#include <string>

#include "actors.h"
#include "tintwise/package.h"

namespace tintwise {
namespace lights_map {

// Lists the lights and the zones' ambient lights of a package, the
// generation its version's; what cannot be read with certainty is said.
// Returns false, said, where it is no package it reads.
bool list_map(const PackageSource& source, lights_actors::Reading& r, const lights_actors::Reporter& said, const LightsSink& sink);

} // namespace lights_map
} // namespace tintwise

#endif
