#pragma once

#include "codepage.h"

#include <functional>
#include <string>

namespace forms {
class Form;
} // namespace forms
namespace trapline {
class MessageBoxService;
} // namespace trapline

/// Template files: the text of one template box kept in a ".ert" file,
/// byte for byte in the project's code page, lines ended by CR LF, nothing
/// else in the file. Any such file loads into either box or into the text
/// input dialog. The file is chosen in the common dialog library's open and
/// save dialogs, which start in the add-in's folder. Paths and texts are UTF-8.
class TemplateFiles {
public:
    struct Services {
        trapline::MessageBoxService& messages;
        /// The folder of the add-in's own library, where the dialogs start.
        std::string addInFolder;
        /// The code page of the texts; when empty, Windows-1251.
        std::function<trapline::Codepage()> codepage;
    };

    explicit TemplateFiles(Services services);

    /// Asks for a file in a dialog owned by `owner` (null for none) and
    /// returns its whole text as a box holds it (lines split by "\n"); empty
    /// when nothing was chosen, the file is empty, it could not be read or
    /// it holds a template that would break the code (then a message box
    /// says why, naming the line; a cancel says nothing).
    std::string LoadTextFromFile(forms::Form* owner);

    /// Asks for a file name and writes `text` there, replacing a file of
    /// that name without a question. An empty text shows no dialog and
    /// writes nothing. The file is replaced atomically: a failure leaves any
    /// earlier file as it was. Text the code page cannot hold is refused
    /// with a message naming the character, and a template that would break
    /// the code with one naming the line: then nothing is written.
    void SaveTextToFile(const std::string& text, forms::Form* owner);

    /// A file's text as a text box takes it (CR LF between lines), and a
    /// box's text as the files keep it here (LF between lines).
    static std::string boxText(const std::string& fileText);
    static std::string fileText(const std::string& boxText);

    /// `path` with ".ert" added unless the file's own name already holds
    /// it, in any letter case: "a" → "a.ert", "a.txt" → "a.txt.ert", "a.ERT"
    /// stays; a folder named "my.ert.files" does not count.
    static std::string withTemplateExtension(const std::string& path);

private:
    std::string load(void* owner);
    void save(const std::string& text, void* owner);
    trapline::Codepage codepage() const;
    void report(long number, const std::string& description) const;
    /// False, after a message naming `name` and the line, for a template
    /// that would break the code it went into: no file holds one.
    bool usable(const std::string& text, const std::string& name) const;

    Services m_services;
};
