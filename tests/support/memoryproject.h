#pragma once

#include "vbe.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

/// A project held in memory: one standard module per (name, text) pair.
inline std::unique_ptr<trapline::Project>
projectOf(const std::vector<std::pair<std::string, std::string>>& modules) {
    auto project = std::make_unique<trapline::Project>();
    for (const auto& [name, text] : modules)
        project->VBComponents().append(std::make_unique<trapline::Component>(
            name, trapline::ComponentType::StdModule, name + ".bas", text, trapline::FileStamp{}));
    return project;
}

/// The code of the `index`th component (1-based) as it would be written.
inline std::string codeOf(const trapline::VBE& vbe, long index) {
    return (*vbe.ActiveVBProject()->VBComponents().Item(index))->serialize();
}

/// Lines joined with CR LF, each ended.
inline std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out.append(l).append("\r\n");
    return out;
}
