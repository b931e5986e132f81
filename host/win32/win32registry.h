#pragma once

#include "registrylookup.h"

/// The system registry on Windows, read in this process's own view.
class Win32Registry : public RegistryLookup {
public:
    bool query(unsigned root, const std::string& key, const std::string& name,
               Value& value) override;
};
