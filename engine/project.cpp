#include "project.h"

#include "vbpfile.h"

#include <cstdio>

namespace trapline {

std::vector<Error> Project::save(bool backup) {
    std::vector<Error> problems;
    std::vector<Component*> added;
    for (long i = 1; i <= m_components.Count(); ++i) {
        Component* c = *m_components.Item(i);
        if (!c->needsSave())
            continue;
        if (c->isNew()) {
            added.push_back(c);
            continue;
        }
        if (auto r = c->save(backup); !r)
            problems.push_back(r.error());
    }
    for (Component* c : added) {
        if (auto r = c->save(); !r) {
            problems.push_back(r.error());
            continue;
        }
        if (m_fileName.empty())
            continue;
        std::string file = c->path().substr(c->path().rfind('/') + 1);
        std::string bytes = VbpFile::parse(m_fileBytes)
                                .withLineAdded("Module", "Module=" + c->Name() + "; " + file);
        auto written = DiskFile::replace(m_fileName, bytes, &m_fileStamp, backup);
        if (!written) {
            problems.push_back(written.error());
            std::remove(c->path().c_str());
            continue;
        }
        m_fileBytes = std::move(bytes);
        m_fileStamp = *written;
    }
    return problems;
}

} // namespace trapline
