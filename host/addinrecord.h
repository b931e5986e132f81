#pragma once

#include "result.h"

#include <cstdint>
#include <string>
#include <string_view>

/// The add-in record: what the environment's add-in designer keeps about the
/// add-in and what registration announces to the environment. One block,
/// integers little-endian, each text preceded by its length with the NUL
/// counted:
///
///     designer class id (16 bytes) | size of the rest (32-bit)
///     registry root | display name | description       (length + text)
///     load behaviour (32-bit)
///     satellite library | additional key                (length + text)
///     flag (32-bit) | reserved (12 bytes)
struct AddInRecord {
    /// The add-in designer that owns every such record.
    static constexpr const char* kDesignerClassId = "{AC0714F7-3D04-11D1-AE7D-00A0C90F26F4}";

    std::string designerClassId;
    std::string registryRoot;
    std::string displayName;
    std::string description;
    std::uint32_t loadBehavior = 0;
    std::string satelliteLibrary; ///< empty: none
    std::string additionalKey;    ///< empty: none
    std::uint32_t flag = 0;

    /// Reads a record. Every length is checked against the bytes that are
    /// there: a record that is cut short, claims more than it holds, lacks a
    /// text's NUL or belongs to another designer is an error (321) that says
    /// which field is wrong. Bytes after the record's own size are ignored.
    static trapline::Result<AddInRecord> parse(std::string_view bytes);

    /// The add-in's own record, from its resources.
    static trapline::Result<AddInRecord> load();
};
