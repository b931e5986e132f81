#include "vbeconnection.h"
#include "dispatchvbe.h"

#include <windows.h>

trapline::Result<std::unique_ptr<vbide::VBE>> connectToVBE(IDispatch* application) {
    auto vbe = trapline::dispatch::DispatchVBE::connect(application, GetACP());
    if (!vbe)
        return vbe.error();
    return std::unique_ptr<vbide::VBE>(std::move(*vbe));
}
