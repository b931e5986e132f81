#pragma once

// Where the COM add-in meets the IDE: the Application object handed to
// OnConnection becomes the environment's root object as the add-in's code
// knows it, reached by late binding only.

#include "result.h"
#include "vbenvironment.h"

#include <memory>

#include <oaidl.h>

/// The environment's root object behind `application`, or an error carrying
/// the message of the connection failure ("Type mismatch") when it is not the
/// IDE (see DispatchVBE::connect).
trapline::Result<std::unique_ptr<vbide::VBE>> connectToVBE(IDispatch* application);
