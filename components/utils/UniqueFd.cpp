#include "components/utils/UniqueFd.h"

#include <unistd.h>

namespace tkw {

void UniqueFd::Close() {
    ::close(m_fd);
}

}  // namespace tkw
