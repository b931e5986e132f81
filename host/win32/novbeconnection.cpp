// Stands in for the late-bound bridge in a build that has none: a connection
// then fails as one to an object that is not the environment.
#include "vbeconnection.h"

trapline::Result<std::unique_ptr<vbide::VBE>> connectToVBE(IDispatch* /*application*/) {
    return trapline::makeError(13, "Trapline.Connect",
                               "Type mismatch: the connecting application is not the development "
                               "environment");
}
