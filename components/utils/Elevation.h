#pragma once

namespace tkw {

// Non-zero when the process may act on every user's files: here, when its effective user id is 0.
int ProcessIsElevated();

}  // namespace tkw
