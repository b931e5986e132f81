// A reader that is not ours: LibreOffice converts written documents to
// OpenDocument, and the Basic modules it keeps must hold the written texts.

#include "office/document.h"
#include "office/textdecoding.h"
#include "office/zippackage.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace trapline::office;
using namespace officetest;

namespace {

/// The module's text as LibreOffice keeps it: no Attribute lines, LF line
/// ends, UTF-8.
std::string asBasic(const VbaProject& project, const VbaModule& module) {
    std::string out;
    std::istringstream lines(project.sourceUtf8(module));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("Attribute ", 0) != 0)
            out += line + "\n";
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

/// The text of a `Basic/<library>/<module>.xml` part: entities decoded, the
/// header lines LibreOffice adds for VBA left out.
std::string moduleText(const std::string& xml) {
    const size_t open = xml.find('>', xml.find("<script:module"));
    const size_t close = xml.rfind("</script:module>");
    if (open == std::string::npos || close == std::string::npos || close < open)
        return "(no module)";
    std::string text;
    for (size_t k = open + 1; k < close; ++k) {
        if (xml[k] != '&') {
            text += xml[k];
            continue;
        }
        const size_t semi = xml.find(';', k);
        const std::string entity = xml.substr(k + 1, semi - k - 1);
        k = semi;
        if (entity == "quot")
            text += '"';
        else if (entity == "amp")
            text += '&';
        else if (entity == "lt")
            text += '<';
        else if (entity == "gt")
            text += '>';
        else if (entity == "apos")
            text += '\'';
        else if (entity[0] == '#') // digits only in what LibreOffice writes
            text += static_cast<char>(std::strtol(entity.c_str() + 1, nullptr, 10));
    }
    std::istringstream lines(text);
    std::string line;
    std::string out;
    while (std::getline(lines, line))
        if (line.rfind("Rem Attribute VBA_ModuleType=", 0) != 0 && line != "Option VBASupport 1" &&
            line != "Option ClassModule")
            out += line + "\n";
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

TEST(LibreOffice, ConvertedDocumentsHoldTheWrittenModuleTexts) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed (tools/install-deps.sh installs it)";
    char folder[] = "/tmp/trapline-lo-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    struct Row {
        const char* file;
        const char* format;
    };
    const Row rows[] = {
        {"calamine_issue281.xlsm", "ods"},
        // A binary document, rewritten whole. (LibreOffice leaves the Basic
        // of calamine_any_sheets.xls out even when it is not ours.)
        {"tika_testWORD_macros.doc", "odt"},
        {"tika_testWORD_macros.docm", "odt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        Outcome<Document> document = Document::open(sample(row.file));
        ASSERT_TRUE(document);
        // Every module gets a line of its own, so that no old text passes.
        DocumentEdit edit;
        const std::vector<VbaModule>& modules = document->project().modules();
        for (size_t k = 0; k < modules.size(); ++k)
            edit.sources[k] = modules[k].source + "' written " + std::to_string(k) + "\r\n";
        edit.added.push_back({"mdl_Error", "Attribute VB_Name = \"mdl_Error\"\r\nSub Trap()\r\n"
                                           "    MsgBox \"<&>\"\r\nEnd Sub\r\n"});
        Outcome<std::string> written = document->write(edit);
        ASSERT_TRUE(written) << written.failure().detail;
        const std::string name = std::string(folder) + "/" + row.file;
        std::ofstream(name, std::ios::binary) << *written;
        const std::string command = "cd " + std::string(folder) +
                                    " && timeout 180 soffice -env:UserInstallation=file://" +
                                    folder + "/profile --headless --convert-to " + row.format +
                                    " --outdir out '" + name + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);

        const std::string base = std::string(row.file).substr(0, std::string(row.file).rfind('.'));
        std::ifstream in(std::string(folder) + "/out/" + base + "." + row.format, std::ios::binary);
        std::string converted((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        Outcome<std::unique_ptr<ZipPackage>> zip = ZipPackage::open(converted);
        ASSERT_TRUE(zip) << "no converted file";
        Outcome<Document> back = Document::read(*written);
        ASSERT_TRUE(back);
        for (const VbaModule& module : back->project().modules()) {
            std::string found;
            for (const std::string& part : (*zip)->names())
                if (part.rfind("Basic/", 0) == 0 && part.size() > module.nameUtf8.size() + 5 &&
                    part.compare(part.size() - module.nameUtf8.size() - 5, std::string::npos,
                                 "/" + module.nameUtf8 + ".xml") == 0)
                    found = *(*zip)->read(part, 1 << 24);
            ASSERT_FALSE(found.empty()) << module.nameUtf8;
            EXPECT_EQ(moduleText(found), asBasic(back->project(), module)) << module.nameUtf8;
        }
    }
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}

} // namespace
