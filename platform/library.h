#pragma once

// Loading a shared library (dlopen, LoadLibraryW) and finding its functions.

#include <string>

namespace trapline::platform {

class Library {
public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    /// Loads the library at `path`; false with error() set when it cannot.
    bool load(const std::string& path);
    /// The address of the exported function `name`, or null.
    void* symbol(const char* name) const;
    /// Why the last load failed.
    const std::string& error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace trapline::platform
