#include "connectfactory.h"

#include "connect.h"

#include <memory>
#include <new>

namespace {
constexpr long kOutOfMemory = 7;
}

trapline::Result<vbide::IDTExtensibility2*> ConnectFactory::CreateInstance() {
    try {
        // The environment owns the object from here and hands it back to Release.
        return static_cast<vbide::IDTExtensibility2*>(std::make_unique<Connect>().release());
    } catch (const std::bad_alloc&) {
        return trapline::makeError(kOutOfMemory, "Trapline.Connect", "Out of memory");
    }
}

void ConnectFactory::Release(vbide::IDTExtensibility2* object) {
    std::unique_ptr<vbide::IDTExtensibility2> released(object);
}
