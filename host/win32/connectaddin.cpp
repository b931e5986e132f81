// The DLL's add-in behind each COM object: Connect itself.
#include "comconnect.h"
#include "connect.h"

ComConnect::AddIn ComConnect::makeAddIn() {
    auto connect = std::make_unique<Connect>();
    Connect* kept = connect.get();
    return {std::move(connect), [kept] { kept->setVBInstance(nullptr); }};
}
