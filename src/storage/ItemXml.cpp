#include "storage/ItemXml.h"

#include "markup/CMarkup.h"
#include "passwords/AccountsXml.h"

#include <span>

namespace {

struct ItemField {
    AccountField field;
    const char* element;
};

constexpr ItemField kWebFields[] = {{AccountField::Name, "NAME"},
                                    {AccountField::Address, "ADDRESS"},
                                    {AccountField::UserId, "USERID"},
                                    {AccountField::Password, "PASSWORD"},
                                    {AccountField::Notes, "NOTES"}};
constexpr ItemField kOtherFields[] = {{AccountField::Name, "NAME"},
                                      {AccountField::UserId, "USERID"},
                                      {AccountField::Password, "PASSWORD"},
                                      {AccountField::Notes, "NOTES"}};

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

std::span<const ItemField> FieldsOf(AccountKind kind) {
    if (kind == AccountKind::Web) {
        return kWebFields;
    }
    if (kind == AccountKind::Other) {
        return kOtherFields;
    }
    return {};
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
    for (const ItemField& f : FieldsOf(account.Kind())) {
        const std::string* value = account.Field(f.field);
        xml.AppendElement(f.element, value ? std::string_view(*value) : std::string_view());
    }
    return xml.GetText();
}

void ReadItemXml(std::string_view text, Account& account) {
    const std::span<const ItemField> fields = FieldsOf(account.Kind());
    for (const ItemField& f : fields) {
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
    for (const ItemField& f : fields) {
        // A missing child reads as empty rather than as the text of the child before it.
        if (xml.FindNextChildElement(f.element)) {
            *account.Field(f.field) = xml.GetChildText();
        }
    }
}
