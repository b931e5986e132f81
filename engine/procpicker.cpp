#include "procpicker.h"

#include "proccatalogue.h"

namespace trapline {

std::optional<std::vector<std::string>> ProcPicker::fill(const InsertionOptions& o) {
    if (o.moduleName.empty())
        return std::nullopt;
    if (!o.onlySub && !o.onlyFunc && !o.onlyProperty)
        return std::nullopt;
    m_reporter.busy(true);
    std::vector<std::string> list{"*"};
    const Project* project = m_vbe.ActiveVBProject();
    const Codepage cp = project ? project->codepage() : Codepage();
    auto moduleName = cp.fromUtf8(o.moduleName);
    if (!moduleName) {
        m_messages.show(std::to_string(moduleName.error().number) + ": " +
                            moduleName.error().description,
                        "Ошибка в SubName_DropDown", MsgIcon::Information, MsgButtons::Ok);
        m_reporter.busy(false);
        return list;
    }
    ProcCatalogue catalogue(m_vbe, m_messages);
    if (!catalogue.GetProcNames(*moduleName)) {
        m_messages.show("В модуле отсутствуют процедуры !", "Процедуры", MsgIcon::Information,
                        MsgButtons::Ok);
    } else {
        for (size_t j = 1; j < catalogue.Procs().size(); ++j) {
            const ProcInfo& p = catalogue.Procs()[j];
            if (o.skipTrapped && p.HasErrorTrap)
                continue;
            if ((p.ProcType == 0 && o.onlySub) || (p.ProcType == 1 && o.onlyFunc) ||
                (p.ProcType == 2 && o.onlyProperty))
                list.push_back(cp.toUtf8(p.ProcName));
        }
    }
    m_reporter.busy(false);
    return list;
}

} // namespace trapline
