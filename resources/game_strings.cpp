#include "resources/game_strings.h"

#include "resources/cls_resource.h"

namespace tollwick {

std::string gameString(int32_t id) { return gResource().LoadDllString(id, 10000); }

}  // namespace tollwick
