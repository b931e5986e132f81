#include "dispatchvbe.h"
#include "linediff.h"

#include <windows.h>

#include <algorithm>

namespace trapline::dispatch {

namespace {

/// The IDE's VBE interface: what an Application must offer to be the IDE.
const IID kVBE = {0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr long kTypeMismatch = 13;
constexpr long kResFile = 4;
constexpr long kRelatedDocument = 6;

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
    if (size == 0 || lost)
        return makeError(errors::NotConvertible, "",
                         "text that code page " + std::to_string(codepage) + " cannot hold");
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
    void* vbe = nullptr;
    if (!application || FAILED(application->QueryInterface(kVBE, &vbe)) || !vbe)
        return makeError(kTypeMismatch, "TRAPLINE",
                         "Type mismatch: the connecting application is not the development "
                         "environment");
    // The VBE interface is dual: its first members are IDispatch's.
    DispatchObject root(static_cast<IDispatch*>(vbe));
    static_cast<IDispatch*>(vbe)->Release();
    std::unique_ptr<DispatchVBE> result(new DispatchVBE(std::move(root), codepage));
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

Result<void> DispatchVBE::readModule(Project& project, const DispatchObject& component) {
    auto wideName = component.getString(L"Name");
    if (!wideName)
        return wideName.error();
    const std::string label = toUtf8(*wideName);
    auto type = component.getLong(L"Type");
    if (!type)
        return named(label, type.error());
    // Resource files and related documents have no code.
    if (*type == kResFile || *type == kRelatedDocument)
        return {};
    auto code = component.get(L"CodeModule");
    if (!code)
        return named(label, code.error());
    if (code->get()->vt != VT_DISPATCH || !code->get()->pdispVal)
        return {};
    DispatchObject codeModule(code->get()->pdispVal);
    auto lines = readLines(codeModule);
    if (!lines)
        return named(label, lines.error());
    auto name = toCodepage(*wideName, m_codepage);
    if (!name)
        return named(label, name.error());
    // The engine reads a module as a file does: a head naming it, then the
    // lines the IDE shows.
    std::string bytes = "Attribute VB_Name = \"" + *name + "\"\r\n" + joinModuleLines(*lines);
    if (!lines->empty())
        bytes += "\r\n";
    if (auto usable = CodeModule::usable(bytes); !usable)
        return named(label, usable.error());
    // No file: the IDE holds the module, and a save meant for files on disk
    // must not write one into the current folder.
    auto made = std::make_unique<Component>(*name, static_cast<ComponentType>(*type), "",
                                            std::move(bytes), FileStamp{});
    if (engineLines(made->CodeModule()) != *lines)
        return makeError(errors::BadFileFormat, label,
                         "Module " + label + ": its lines cannot be read as code lines");
    Component* added = project.VBComponents().append(std::move(made));
    m_modules.push_back({added, label, std::move(codeModule), std::move(*lines)});
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
    for (long i = 1; i <= *count; ++i) {
        auto component = components->object(L"Item", {Variant::fromLong(i)});
        if (!component)
            return failed(component.error());
        if (auto read = readModule(*project, *component); !read)
            return failed(read.error());
    }
    setActiveVBProject(std::move(project));
    m_projectError.reset();
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

Result<void> DispatchVBE::writeModule(Module& module) {
    const std::vector<std::string> target = engineLines(module.component->CodeModule());
    auto current = readLines(module.code);
    if (!current)
        return current.error();
    if (*current != module.lines)
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
    if (module.lines != target) {
        size_t line = 0;
        while (line < module.lines.size() && line < target.size() &&
               module.lines[line] == target[line])
            ++line;
        return makeError(errors::ChangedOnDisk, module.label,
                         "its text in the environment differs from the one written, from line " +
                             std::to_string(line + 1) + " on");
    }
    return {};
}

} // namespace trapline::dispatch
