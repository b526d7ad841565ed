// Stands in for the server model until servers are modelled: no server exists, so no server
// can be bound to a rule.
#include "sim_internal.h"

namespace velksim {

const char* modelServerIdentifier(const ModelState&, uint32_t, const uint8_t*, uint32_t) {
    return nullptr;
}

}  // namespace velksim
