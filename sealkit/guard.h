// No exception may cross the library's interface.
#pragma once

#include "otrx_status.h"

#include <cstdint>
#include <new>

namespace sealkit {

template <typename F>
int32_t guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return otrx::kOutOfMemory;
    } catch (...) {
        return otrx::kInternalError;
    }
}

}  // namespace sealkit
