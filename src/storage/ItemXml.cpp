#include "storage/ItemXml.h"

#include "markup/CMarkup.h"
#include "passwords/AccountsXml.h"

#include <span>

namespace {

const char* ElementOf(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return "WEB_ACCOUNT";
    case AccountKind::Other:
        return "OTHER_ACCOUNTS";
    case AccountKind::Mail:
        break;
    }
    return nullptr;
}

// Mail accounts have no item of their own.
std::span<const XmlField> FieldsOf(AccountKind kind) {
    return kind == AccountKind::Mail ? std::span<const XmlField>() : XmlFields(kind);
}

} // namespace

std::string WriteItemXml(const Account& account) {
    const char* element = ElementOf(account.Kind());
    if (element == nullptr) {
        return {};
    }
    CMarkup xml;
    xml.SetText(kAccountsXmlHeader);
    xml.AppendElement("DOC");
    xml.EnterElement();
    xml.AppendElement(element);
    xml.EnterElement();
    for (const XmlField& f : FieldsOf(account.Kind())) {
        const std::string* value = account.Field(f.field);
        xml.AppendElement(f.element, value ? std::string_view(*value) : std::string_view());
    }
    return xml.GetText();
}

void ReadItemXml(std::string_view text, Account& account) {
    const std::span<const XmlField> fields = FieldsOf(account.Kind());
    for (const XmlField& f : fields) {
        account.Field(f.field)->clear();
    }
    const char* element = ElementOf(account.Kind());
    if (element == nullptr || text.empty()) {
        return;
    }
    CMarkup xml;
    xml.SetText(text);
    if (!xml.FindNextElement() || !xml.EnterElement() || !xml.FindNextElement(element)) {
        return;
    }
    for (const XmlField& f : fields) {
        // A missing child reads as empty rather than as the text of the child before it.
        if (xml.FindNextChildElement(f.element)) {
            *account.Field(f.field) = xml.GetChildText();
        }
    }
}
