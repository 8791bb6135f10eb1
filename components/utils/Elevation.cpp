#include "components/utils/Elevation.h"

#include <unistd.h>

namespace tkw {

int ProcessIsElevated() {
    return ::geteuid() == 0 ? 1 : 0;
}

}  // namespace tkw
