#include "unifieddiff.h"

#include <algorithm>

namespace trapline {
namespace {

constexpr size_t kContext = 3;

void appendLine(std::string& out, char op, const LineStore::Edit& e, std::string_view eol) {
    out += op;
    out.append(e.text);
    if (e.owedEol)
        out.append(eol);
    else if (e.text.empty() || e.text.back() != '\n')
        out += "\n\\ No newline at end of file\n";
}

} // namespace

std::string UnifiedDiff::of(const std::string& path, const std::vector<LineStore::Edit>& edits,
                            std::string_view eol) {
    std::string out;
    const size_t n = edits.size();
    size_t i = 0;
    // Old and new line numbers of edits[i].
    size_t oldLine = 1, newLine = 1;
    while (i < n) {
        // Find the next change.
        size_t change = i;
        size_t o = oldLine, nw = newLine;
        while (change < n && edits[change].op == ' ') {
            ++change;
            ++o;
            ++nw;
        }
        if (change == n)
            break;
        // The hunk starts up to kContext lines before it.
        size_t lead = std::min(kContext, change - i);
        size_t start = change - lead;
        size_t hunkOld = o - lead, hunkNew = nw - lead;
        // It ends when more than 2 * kContext unchanged lines follow a change.
        size_t end = change, quiet = 0;
        for (size_t k = change; k < n; ++k) {
            if (edits[k].op == ' ') {
                if (++quiet > 2 * kContext)
                    break;
            } else {
                quiet = 0;
                end = k + 1;
            }
        }
        size_t stop = std::min(n, end + kContext);
        size_t oldCount = 0, newCount = 0;
        for (size_t k = start; k < stop; ++k) {
            oldCount += edits[k].op != '+';
            newCount += edits[k].op != '-';
        }
        if (out.empty())
            out += "--- " + path + "\n+++ " + path + "\n";
        out += "@@ -" + std::to_string(oldCount ? hunkOld : hunkOld - 1) + "," +
               std::to_string(oldCount) + " +" + std::to_string(newCount ? hunkNew : hunkNew - 1) +
               "," + std::to_string(newCount) + " @@\n";
        for (size_t k = start; k < stop; ++k)
            appendLine(out, edits[k].op, edits[k], eol);
        // Advance the line counters past the hunk.
        for (size_t k = i; k < stop; ++k) {
            oldLine += edits[k].op != '+';
            newLine += edits[k].op != '-';
        }
        i = stop;
    }
    return out;
}

} // namespace trapline
