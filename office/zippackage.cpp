#include "zippackage.h"

#include "asciicase.h"

// libzip over memory, on Linux and Windows alike.

#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace trapline::office {
namespace {

/// A part that inflates this many times its stored size is a bomb, not a
/// document: deflate cannot do much better than a thousandfold at all.
constexpr uint64_t kBombRatio = 1000;

/// zlib's fastest level, which Office's own parts carry ("super fast").
constexpr zip_uint32_t kDeflateLevel = 1;

class LibzipPackage : public ZipPackage {
public:
    LibzipPackage(std::unique_ptr<std::string> bytes, zip_t* archive)
        : m_bytes(std::move(bytes)), m_archive(archive) {}
    ~LibzipPackage() override { zip_discard(m_archive); }
    LibzipPackage(const LibzipPackage&) = delete;
    LibzipPackage& operator=(const LibzipPackage&) = delete;

    std::vector<std::string> names() const override {
        std::vector<std::string> out;
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        for (zip_int64_t k = 0; k < count; ++k) {
            const char* name =
                zip_get_name(m_archive, static_cast<zip_uint64_t>(k), ZIP_FL_ENC_RAW);
            out.emplace_back(name ? name : "");
        }
        return out;
    }

    Outcome<std::string> read(std::string_view name, size_t limit) const override {
        const std::string key = folded(name);
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        for (zip_int64_t k = 0; k < count; ++k) {
            const auto index = static_cast<zip_uint64_t>(k);
            const char* entry = zip_get_name(m_archive, index, ZIP_FL_ENC_RAW);
            if (entry && folded(entry) == key)
                return readIndex(index, std::string(name), limit);
        }
        return fail(Problem::Corrupt, "no part " + std::string(name));
    }

    Outcome<std::string>
    rewritten(const std::map<std::string, std::optional<std::string>>& changes) const override {
        zip_error_t error;
        zip_error_init(&error);
        // A copy the source owns: writing replaces the buffer it was given.
        void* copy = malloc(std::max<size_t>(m_bytes->size(), 1));
        if (!copy)
            return fail(Problem::TooLarge, "no memory to rewrite the zip package");
        memcpy(copy, m_bytes->data(), m_bytes->size());
        zip_source_t* source = zip_source_buffer_create(copy, m_bytes->size(), 1, &error);
        zip_error_fini(&error);
        if (!source) {
            free(copy);
            return fail(Problem::Corrupt, "the zip package cannot be rewritten");
        }
        // The source outlives the archive: it holds the written package.
        zip_source_keep(source);
        std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> owned(source, &zip_source_free);
        zip_t* archive = zip_open_from_source(source, 0, nullptr);
        if (!archive)
            return fail(Problem::Corrupt, "the zip package cannot be rewritten");
        Outcome<bool> changed = apply(archive, changes);
        if (!changed) {
            zip_discard(archive);
            return changed.failure();
        }
        if (zip_close(archive) != 0) {
            const std::string why = zip_strerror(archive);
            zip_discard(archive);
            return fail(Problem::Corrupt, "the zip package cannot be written: " + why);
        }
        return contents(source);
    }

    static void closeFile(zip_file_t* file) { zip_fclose(file); }

private:
    /// Replaces and removes the entries `changes` names in `archive`.
    static Outcome<bool> apply(zip_t* archive,
                               const std::map<std::string, std::optional<std::string>>& changes) {
        for (const auto& [name, bytes] : changes) {
            const zip_int64_t index = zip_name_locate(archive, name.c_str(), ZIP_FL_ENC_RAW);
            if (index < 0)
                return fail(Problem::Corrupt, "no part " + name);
            const auto at = static_cast<zip_uint64_t>(index);
            if (!bytes) {
                if (zip_delete(archive, at) != 0)
                    return fail(Problem::Corrupt, name + ": " + zip_strerror(archive));
                continue;
            }
            zip_stat_t stat;
            zip_stat_init(&stat);
            const bool dated =
                zip_stat_index(archive, at, 0, &stat) == 0 && (stat.valid & ZIP_STAT_MTIME);
            zip_source_t* data = zip_source_buffer(archive, bytes->data(), bytes->size(), 0);
            if (!data)
                return fail(Problem::Corrupt, name + ": " + zip_strerror(archive));
            if (zip_file_replace(archive, at, data, 0) != 0) {
                zip_source_free(data);
                return fail(Problem::Corrupt, name + ": " + zip_strerror(archive));
            }
            // A replaced part keeps its date and is deflated as Office
            // deflates its parts: at the fastest level. libzip's own default
            // is the slowest, which costs ten times as much for a project
            // part that MS-OVBA compression has already made dense. libzip
            // drops a level given with the method the part had, so the
            // method asked for is its default: deflate, or stored where
            // deflating would not shrink the part.
            if ((dated && zip_file_set_mtime(archive, at, stat.mtime, 0) != 0) ||
                zip_set_file_compression(archive, at, ZIP_CM_DEFAULT, kDeflateLevel) != 0)
                return fail(Problem::Corrupt, name + ": " + zip_strerror(archive));
        }
        return true;
    }

    /// The bytes a buffer source holds.
    static Outcome<std::string> contents(zip_source_t* source) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_source_stat(source, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
            zip_source_open(source) != 0)
            return fail(Problem::Corrupt, "the written zip package cannot be read");
        std::string out(static_cast<size_t>(stat.size), '\0');
        size_t got = 0;
        while (got < out.size()) {
            const zip_int64_t n = zip_source_read(source, out.data() + got, out.size() - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        zip_source_close(source);
        if (got != out.size())
            return fail(Problem::Corrupt, "the written zip package cannot be read");
        return out;
    }

    Outcome<std::string> readIndex(zip_uint64_t index, const std::string& name,
                                   size_t limit) const {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(m_archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return fail(Problem::Corrupt, name + ": no size");
        if (stat.size > limit)
            return fail(Problem::TooLarge, name + " holds " + std::to_string(stat.size) + " bytes");
        if ((stat.valid & ZIP_STAT_COMP_SIZE) && stat.size >= 64 * 1024 &&
            stat.size / std::max<zip_uint64_t>(stat.comp_size, 1) >= kBombRatio)
            return fail(Problem::TooLarge, name + " inflates a thousandfold");
        std::unique_ptr<zip_file_t, void (*)(zip_file_t*)> file(
            zip_fopen_index(m_archive, index, 0), &closeFile);
        if (!file)
            return fail(Problem::Corrupt, name + ": " + zip_strerror(m_archive));
        // Never more than the entry states: its data may claim less than it
        // inflates to, and libzip checks the stated size and the checksum at
        // the end.
        std::string out(static_cast<size_t>(stat.size), '\0');
        size_t got = 0;
        while (got < out.size()) {
            const zip_int64_t n = zip_fread(file.get(), out.data() + got, out.size() - got);
            if (n <= 0)
                return fail(Problem::Corrupt, name + ": " + zip_file_strerror(file.get()));
            got += static_cast<size_t>(n);
        }
        char extra = 0;
        if (zip_fread(file.get(), &extra, 1) != 0)
            return fail(Problem::Corrupt, name + ": more data than its stated size");
        return out;
    }

    std::unique_ptr<std::string> m_bytes; // the zip source reads from it
    zip_t* m_archive;
};

} // namespace

Outcome<std::unique_ptr<ZipPackage>> ZipPackage::open(std::string bytes) {
    if (bytes.size() < 4 || bytes.compare(0, 4, "PK\x03\x04") != 0)
        return fail(Problem::NotOffice, "not a zip package");
    auto owned = std::make_unique<std::string>(std::move(bytes));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(owned->data(), owned->size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return fail(Problem::Corrupt, "the zip package cannot be read");
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        std::string why = zip_error_strerror(&error);
        zip_source_free(source);
        zip_error_fini(&error);
        return fail(Problem::Corrupt, "zip package: " + why);
    }
    zip_error_fini(&error);
    auto package = std::make_unique<LibzipPackage>(std::move(owned), archive);
    std::set<std::string> seen;
    for (const std::string& name : package->names())
        if (!seen.insert(folded(name)).second)
            return fail(Problem::Corrupt, "two zip entries named " + name);
    return std::unique_ptr<ZipPackage>(std::move(package));
}

} // namespace trapline::office
