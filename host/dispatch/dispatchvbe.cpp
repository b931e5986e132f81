#include "dispatchvbe.h"
#include "codeshape.h"
#include "linediff.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace trapline::dispatch {

namespace {

/// What an object must answer to by name to be taken for the IDE. VB6's and
/// the VBA editor's VBE interfaces have ids of their own (and VB6's shares
/// its library with VB5's), so the object is known by what it does, not by
/// an interface id it may not answer.
const wchar_t* const kIDEMembers[] = {L"CommandBars", L"ActiveVBProject", L"VBProjects"};

constexpr long kTypeMismatch = 13;

/// Component types, numbered as VB6 numbers them (vbext_ComponentType); the
/// VBA editor uses 1, 2, 3, 11 and 100 of the same list.
constexpr long kResFile = 4;
constexpr long kRelatedDocument = 10;

bool answersTo(IDispatch* object, const wchar_t* member) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
}

/// The first character of `text` that code page `codepage` cannot hold
/// without a best fit, as its place; npos when it holds them all.
size_t firstUnconvertible(const std::wstring& text, unsigned codepage) {
    for (size_t i = 0; i < text.size(); ++i) {
        const bool pair =
            i + 1 < text.size() && IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1]);
        const int units = pair ? 2 : 1;
        BOOL lost = FALSE;
        char bytes[8];
        const int size = WideCharToMultiByte(codepage, WC_NO_BEST_FIT_CHARS, text.data() + i, units,
                                             bytes, sizeof bytes, nullptr, &lost);
        if (size == 0 || lost)
            return i;
        i += static_cast<size_t>(units - 1);
    }
    return std::wstring::npos;
}

/// "U+4E2D", as a character is named in messages.
std::string codePoint(const std::wstring& text, size_t at) {
    unsigned long point = text[at];
    if (at + 1 < text.size() && IS_SURROGATE_PAIR(text[at], text[at + 1]))
        point = 0x10000 + ((point - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    char name[16];
    std::snprintf(name, sizeof name, "U+%04lX", point);
    return name;
}

Result<std::string> toCodepage(const std::wstring& text, unsigned codepage) {
    if (text.empty())
        return std::string();
    // The UTF code pages take no flags and tell no lost characters.
    const bool utf = codepage == CP_UTF8 || codepage == CP_UTF7;
    BOOL lost = FALSE;
    const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size =
        WideCharToMultiByte(codepage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                            nullptr, utf ? nullptr : &lost);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codepage, flags, text.data(), static_cast<int>(text.size()), out.data(),
                        size, nullptr, nullptr);
    if (size == 0 || lost) {
        const size_t at = firstUnconvertible(text, codepage);
        if (at == std::wstring::npos)
            return makeError(errors::NotConvertible, "",
                             "text that code page " + std::to_string(codepage) + " cannot hold");
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(at), L'\n');
        return makeError(errors::NotConvertible, "",
                         "line " + std::to_string(line) + " holds " + codePoint(text, at) +
                             ", which code page " + std::to_string(codepage) + " cannot hold");
    }
    return out;
}

Result<std::wstring> fromCodepage(const std::string& text, unsigned codepage) {
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (size == 0)
        return makeError(errors::NotConvertible, "",
                         "bytes that code page " + std::to_string(codepage) + " does not define");
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        out.data(), size);
    return out;
}

Error named(const std::string& module, Error error) {
    error.description = "Module " + module + ": " + error.description;
    return error;
}

std::vector<std::string> engineLines(const CodeModule& code) {
    std::vector<std::string> lines;
    for (long i = 1; i <= code.CountOfLines(); ++i)
        lines.emplace_back(code.line(i));
    return lines;
}

} // namespace

DispatchVBE::DispatchVBE(DispatchObject vbe, unsigned codepage)
    : m_vbe(vbe), m_codepage(codepage),
      m_bars(vbe, [this](vbide::CommandBarControl* control) { m_events.forget(control); }),
      m_events(vbe, m_bars) {}

DispatchVBE::~DispatchVBE() = default;

Result<std::unique_ptr<DispatchVBE>> DispatchVBE::connect(IDispatch* application,
                                                          unsigned codepage) {
    const bool ide =
        application && std::all_of(std::begin(kIDEMembers), std::end(kIDEMembers),
                                   [&](const wchar_t* m) { return answersTo(application, m); });
    if (!ide)
        return makeError(kTypeMismatch, "TRAPLINE",
                         "Type mismatch: the connecting application is not the development "
                         "environment");
    std::unique_ptr<DispatchVBE> result(new DispatchVBE(DispatchObject(application), codepage));
    if (auto read = result->reload(); !read)
        result->m_projectError = read.error();
    return result;
}

std::uintptr_t DispatchVBE::MainWindow() const {
    auto window = m_vbe.object(L"MainWindow");
    if (!window)
        return 0;
    auto handle = window->get(L"HWnd");
    Variant number;
    if (!handle || FAILED(VariantChangeType(number.get(), handle->get(), 0, VT_I8)))
        return 0;
    return static_cast<std::uintptr_t>(number.get()->llVal);
}

Result<std::vector<std::string>> DispatchVBE::readLines(const DispatchObject& code) const {
    auto count = code.getLong(L"CountOfLines");
    if (!count)
        return count.error();
    if (*count == 0)
        return std::vector<std::string>();
    auto text = code.get(L"Lines", {Variant::fromLong(1), Variant::fromLong(*count)});
    if (!text)
        return text.error();
    const VARIANT* v = text->get();
    if (v->vt != VT_BSTR)
        return makeError(kTypeMismatch, "", "Lines: not a text");
    auto bytes = toCodepage(std::wstring(v->bstrVal ? v->bstrVal : L"", SysStringLen(v->bstrVal)),
                            m_codepage);
    if (!bytes)
        return bytes.error();
    std::vector<std::string> lines = splitModuleText(*bytes);
    if (static_cast<long>(lines.size()) != *count)
        return makeError(errors::BadFileFormat, "",
                         "Lines gave " + std::to_string(lines.size()) + " lines of " +
                             std::to_string(*count));
    return lines;
}

Result<void> DispatchVBE::readModule(Project& project, const DispatchObject& component,
                                     const std::wstring& wideName) {
    auto type = component.getLong(L"Type");
    if (!type)
        return type.error();
    if (*type == kResFile || *type == kRelatedDocument)
        return makeError(errors::InvalidCall, "", "it holds no code");
    // A designer may have no code module: the IDE then fails or gives Nothing.
    auto code = component.get(L"CodeModule");
    if (!code)
        return code.error();
    if (code->get()->vt != VT_DISPATCH || !code->get()->pdispVal)
        return makeError(errors::InvalidCall, "", "it holds no code");
    DispatchObject codeModule(code->get()->pdispVal);
    auto lines = readLines(codeModule);
    if (!lines)
        return lines.error();
    auto name = toCodepage(wideName, m_codepage);
    if (!name)
        return makeError(name.error().number, "", "its name " + name.error().description);
    // The engine reads a module as a file does: a head naming it, then the
    // lines the IDE shows.
    std::string bytes = "Attribute VB_Name = \"" + *name + "\"\r\n" + joinModuleLines(*lines);
    if (!lines->empty())
        bytes += "\r\n";
    if (auto usable = CodeModule::usable(bytes); !usable)
        return usable.error();
    // No file: the IDE holds the module, and a save meant for files on disk
    // must not write one into the current folder.
    auto made = std::make_unique<Component>(*name, static_cast<ComponentType>(*type), "",
                                            std::move(bytes), FileStamp{});
    if (engineLines(made->CodeModule()) != *lines)
        return makeError(errors::BadFileFormat, "", "its lines cannot be read as code lines");
    Component* added = project.VBComponents().append(std::move(made));
    m_modules.push_back({added, toUtf8(wideName), std::move(codeModule), std::move(*lines)});
    return {};
}

Result<void> DispatchVBE::reload() {
    auto active = m_vbe.get(L"ActiveVBProject");
    if (!active)
        return active.error();
    std::vector<Module> before = std::move(m_modules);
    m_modules.clear();
    if (active->get()->vt != VT_DISPATCH || !active->get()->pdispVal) {
        setActiveVBProject(nullptr);
        m_notes.clear();
        return {};
    }
    DispatchObject vbProject(active->get()->pdispVal);
    auto codepage = Codepage::open(std::to_string(m_codepage));
    if (!codepage)
        return codepage.error();
    auto project = std::make_unique<Project>(*codepage);
    if (auto name = vbProject.getString(L"Name"))
        project->setName(toUtf8(*name));
    auto failed = [&](Error error) -> Result<void> {
        m_modules = std::move(before);
        return error;
    };
    auto components = vbProject.object(L"VBComponents");
    if (!components)
        return failed(components.error());
    auto count = components->getLong(L"Count");
    if (!count)
        return failed(count.error());
    std::vector<std::string> notes;
    for (long i = 1; i <= *count; ++i) {
        auto component = components->object(L"Item", {Variant::fromLong(i)});
        if (!component)
            return failed(component.error());
        auto name = component->getString(L"Name");
        if (!name)
            return failed(name.error());
        // One module the engine cannot take is left out, not the project.
        if (auto read = readModule(*project, *component, *name); !read)
            notes.push_back("Module " + toUtf8(*name) +
                            " is left out: " + read.error().description);
    }
    setActiveVBProject(std::move(project));
    m_projectError.reset();
    m_notes = std::move(notes);
    return {};
}

std::vector<Error> DispatchVBE::writeBack() {
    std::vector<Error> errors;
    for (Module& module : m_modules) {
        if (engineLines(module.component->CodeModule()) == module.lines)
            continue;
        if (auto written = writeModule(module); !written)
            errors.push_back(named(module.label, written.error()));
    }
    Project* project = ActiveVBProject();
    if (!project)
        return errors;
    // Modules the engine added (the error handling module) are added to the
    // IDE's project too.
    for (long i = 1; i <= project->VBComponents().Count(); ++i) {
        Component* component = *project->VBComponents().Item(i);
        const bool known = std::any_of(m_modules.begin(), m_modules.end(),
                                       [&](const Module& m) { return m.component == component; });
        if (!known)
            if (auto added = addModule(*component); !added)
                errors.push_back(added.error());
    }
    return errors;
}

Result<void> DispatchVBE::addModule(Component& component) {
    auto name = fromCodepage(component.Name(), m_codepage);
    const std::string label = name ? toUtf8(*name) : component.Name();
    auto fail = [&](const Error& error) -> Result<void> { return named(label, error); };
    if (!name)
        return fail(name.error());
    auto vbProject = m_vbe.object(L"ActiveVBProject");
    if (!vbProject)
        return fail(vbProject.error());
    auto components = vbProject->object(L"VBComponents");
    if (!components)
        return fail(components.error());
    auto added =
        components->object(L"Add", {Variant::fromLong(static_cast<long>(component.Type()))});
    if (!added)
        return fail(added.error());
    if (auto renamed = added->put(L"Name", Variant::fromString(*name)); !renamed)
        return fail(renamed.error());
    auto code = added->object(L"CodeModule");
    if (!code)
        return fail(code.error());
    // What the IDE put in the new module is where the engine's text starts from.
    auto lines = readLines(*code);
    if (!lines)
        return fail(lines.error());
    m_modules.push_back({&component, label, std::move(*code), std::move(*lines)});
    if (auto written = writeModule(m_modules.back()); !written)
        return fail(written.error());
    return {};
}

size_t DispatchVBE::firstOtherLine(const std::vector<std::string>& a,
                                   const std::vector<std::string>& b) const {
    size_t line = 0;
    for (; line < a.size() && line < b.size(); ++line) {
        if (a[line] == b[line])
            continue;
        auto wa = fromCodepage(a[line], m_codepage);
        auto wb = fromCodepage(b[line], m_codepage);
        if (!wa || !wb || !sameCode(*wa, *wb))
            break;
    }
    return line == a.size() && line == b.size() ? std::string::npos : line;
}

Result<void> DispatchVBE::writeModule(Module& module) {
    CodeModule& engine = module.component->CodeModule();
    const std::vector<std::string> target = engineLines(engine);
    auto current = readLines(module.code);
    if (!current)
        return current.error();
    // The IDE re-cases an identifier across the project as it lists another
    // module's new lines: such a module holds the code it was read with.
    if (firstOtherLine(*current, module.lines) != std::string::npos)
        return makeError(errors::ChangedOnDisk, module.label,
                         "changed in the environment since it was read; the changes were not "
                         "written into it");
    for (const LineEdit& edit : planLineEdits(module.lines, target)) {
        auto text = fromCodepage(joinModuleLines(edit.lines), m_codepage);
        if (!text)
            return text.error();
        Result<Variant> done = Variant();
        switch (edit.kind) {
        case LineEdit::Kind::Delete:
            done = module.code.call(L"DeleteLines",
                                    {Variant::fromLong(edit.line), Variant::fromLong(edit.count)});
            break;
        case LineEdit::Kind::Insert:
            done = module.code.call(L"InsertLines",
                                    {Variant::fromLong(edit.line), Variant::fromString(*text)});
            break;
        case LineEdit::Kind::Replace:
            done = module.code.call(L"ReplaceLine",
                                    {Variant::fromLong(edit.line), Variant::fromString(*text)});
            break;
        }
        if (!done) {
            // The calls made so far stay: the text the module now holds is
            // where the next write-back starts from.
            if (auto now = readLines(module.code))
                module.lines = std::move(*now);
            return done.error();
        }
    }
    auto written = readLines(module.code);
    if (!written)
        return written.error();
    module.lines = std::move(*written);
    if (const size_t line = firstOtherLine(module.lines, target); line != std::string::npos)
        return makeError(errors::ChangedOnDisk, module.label,
                         "its text in the environment differs from the one written, from line " +
                             std::to_string(line + 1) + " on");
    // The IDE lists what it is given in its own case and spacing: its text is
    // what the next run starts from, in the engine as in the IDE.
    std::vector<std::pair<long, std::string_view>> listed;
    for (size_t i = 0; i < target.size(); ++i)
        if (module.lines[i] != target[i])
            listed.emplace_back(static_cast<long>(i + 1), module.lines[i]);
    if (!listed.empty())
        if (auto kept = engine.replaceTexts(listed); !kept)
            return kept.error();
    return {};
}

} // namespace trapline::dispatch
