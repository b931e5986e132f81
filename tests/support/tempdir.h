#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

/// A UTF-8 path as the standard library's path, never through the ANSI code
/// page that a plain std::string goes through on Windows.
inline std::filesystem::path utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// The UTF-8 of `path`, with '/' between its parts on every system.
inline std::string utf8String(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

/// A folder of its own for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        // A name no other test, run or process has taken: creating the folder
        // is the test of that, so a clash only means another try.
        static std::atomic<unsigned> made{0};
        std::random_device seed;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name =
                "trapline-test-" + std::to_string(seed()) + "-" + std::to_string(made.fetch_add(1));
            if (std::filesystem::create_directory(base / name)) {
                m_path = utf8String(base / name);
                return;
            }
        }
        throw std::runtime_error("no unique folder could be made under " + utf8String(base));
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(utf8Path(m_path), ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& relative) const { return m_path + "/" + relative; }

    /// Writes `bytes` to `relative`, making folders as needed; returns the full path.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const std::string full = file(relative);
        std::filesystem::path p = utf8Path(full);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out << bytes;
        return full;
    }

    /// The names in `folder`, sorted, hidden ones included.
    static std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(utf8Path(folder)))
            names.push_back(utf8String(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string read(const std::string& path) {
        std::ifstream in(utf8Path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string m_path;
};
