// Feeds arbitrary text to the markup parser and the account reading walk, then appends to
// whatever parsed and checks that the index still points at tags inside the text.
#include "markup/CMarkup.h"
#include "passwords/AccountsXml.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void CheckIndex(const CMarkup& m) {
    const std::string text = m.GetText();
    const auto& index = m.Index();
    for (int i = 1; i < m.IndexUsed(); ++i) {
        const ElemPos& e = index[i];
        const bool inside = e.startTagStart >= 0 && e.startTagStart < e.startTagEnd &&
                            e.endTagStart < e.endTagEnd + 1 && e.startTagEnd <= e.endTagEnd &&
                            static_cast<size_t>(e.endTagEnd) < text.size();
        if (!inside || text[e.startTagStart] != '<' || text[e.startTagEnd] != '>' ||
            text[e.endTagEnd] != '>') {
            __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    AccountLists lists;
    ReadAccountsXml(text, lists);

    CMarkup m;
    if (!m.SetText(text)) {
        return 0;
    }
    CheckIndex(m);
    // Visit every element the way readers do, and build inside the parsed document.
    m.FindNextElement();
    m.EnterElement();
    while (m.FindNextElement()) {
        while (m.FindNextChildElement()) {
            (void)m.GetChildText();
        }
    }
    m.AppendElement("NEW", "a<b&c");
    m.EnterElement();
    m.AppendElement("CHILD");
    m.LeaveElement();
    m.LeaveElement();
    m.AppendElement("AFTER", "x");
    CheckIndex(m);
    return 0;
}
