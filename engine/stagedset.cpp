#include "stagedset.h"

#include <thread>

namespace trapline {

size_t StagedSet::add(DiskFile::Staged staged) {
    m_files.push_back(std::move(staged));
    return m_files.size() - 1;
}

std::vector<StagedSet::Outcome> StagedSet::commitAll() {
    std::vector<const DiskFile::Staged*> files;
    std::vector<std::string> folders;
    for (const DiskFile::Staged& s : m_files) {
        files.push_back(&s);
        size_t slash = s.target.rfind('/');
        folders.emplace_back(slash == std::string::npos ? std::string_view(".")
                             : slash == 0               ? std::string_view("/")
                                          : std::string_view(s.target).substr(0, slash));
    }
    DiskFile::flush(files);
    std::vector<Outcome> outcomes(m_files.size());
    auto commitRange = [&](size_t from, size_t step) {
        for (size_t k = from; k < m_files.size(); k += step) {
            // A run's files are not compared with their new stamps again.
            auto done = DiskFile::commit(m_files[k], false);
            if (!done)
                outcomes[k].error = done.error();
            else
                outcomes[k].committed = std::move(*done);
        }
    };
    if (m_files.size() > 1) {
        std::thread helper(commitRange, 1, 2);
        commitRange(0, 2);
        helper.join();
    } else {
        commitRange(0, 1);
    }
    DiskFile::syncFolders(folders);
    m_files.clear();
    return outcomes;
}

void StagedSet::discardAll() {
    for (const DiskFile::Staged& s : m_files)
        DiskFile::discard(s);
    m_files.clear();
}

} // namespace trapline
