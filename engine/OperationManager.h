#pragma once

namespace tkw {

// Base of the engine objects that run long operations (backup, load, restore).
class COperationManager {
public:
    virtual ~COperationManager() = default;
};

}  // namespace tkw
