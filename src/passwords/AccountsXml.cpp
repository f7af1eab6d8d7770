#include "passwords/AccountsXml.h"

#include "markup/CMarkup.h"

#include <span>
#include <utility>

namespace {

struct XmlField {
    AccountField field;
    const char* element;
};

// The stored order; the mail order differs from the record's.
constexpr XmlField kWebXml[] = {{AccountField::Name, "NAME"},
                                {AccountField::Address, "ADDRESS"},
                                {AccountField::UserId, "USERID"},
                                {AccountField::Password, "PASSWORD"},
                                {AccountField::Notes, "NOTES"}};
constexpr XmlField kMailXml[] = {{AccountField::Name, "NAME"},
                                 {AccountField::Address, "ADDRESS"},
                                 {AccountField::WebInterface, "WEBINTERFACE"},
                                 {AccountField::UserId, "USERID"},
                                 {AccountField::Password, "PASSWORD"},
                                 {AccountField::SmtpServer, "SMTPSERVER"},
                                 {AccountField::PopServer, "POPSERVER"},
                                 {AccountField::Notes, "NOTES"}};
constexpr XmlField kOtherXml[] = {{AccountField::Name, "NAME"},
                                  {AccountField::UserId, "USERID"},
                                  {AccountField::Password, "PASSWORD"},
                                  {AccountField::Notes, "NOTES"}};

std::span<const XmlField> XmlFields(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return kWebXml;
    case AccountKind::Mail:
        return kMailXml;
    case AccountKind::Other:
        return kOtherXml;
    }
    return {};
}

const char* ListElement(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return "WEB_ACCOUNTS";
    case AccountKind::Mail:
        return "MAIL_ACCOUNTS";
    case AccountKind::Other:
        return "OTHER_ACCOUNTS";
    }
    return "";
}

} // namespace

std::string WriteAccountsXml(const AccountLists& lists) {
    CMarkup xml;
    xml.SetText(kAccountsXmlHeader);
    xml.AppendElement("DOC");
    xml.EnterElement();
    for (AccountKind kind : kAccountKinds) {
        xml.AppendElement(ListElement(kind));
        xml.EnterElement();
        for (int slot = 0; slot < lists.GetSlotCount(kind); ++slot) {
            const Account* account = lists.GetAccount(kind, slot);
            if (account == nullptr) {
                continue;
            }
            xml.AppendElement("ACCOUNT");
            xml.EnterElement();
            for (const XmlField& f : XmlFields(kind)) {
                xml.AppendElement(f.element, *account->Field(f.field));
            }
            xml.LeaveElement();
        }
        xml.LeaveElement();
    }
    return xml.GetText();
}

bool IsAccountsXml(std::string_view text) {
    CMarkup xml;
    return xml.SetText(text);
}

bool ReadAccountsXml(std::string_view text, AccountLists& lists) {
    lists.Clear();
    CMarkup xml;
    if (!xml.SetText(text) || !xml.FindNextElement() || !xml.EnterElement()) {
        return false;
    }
    for (AccountKind kind : kAccountKinds) {
        while (xml.FindNextElement(ListElement(kind))) {
            xml.EnterElement();
            while (xml.FindNextElement("ACCOUNT")) {
                std::unique_ptr<Account> account = MakeAccount(kind);
                for (const XmlField& f : XmlFields(kind)) {
                    // A field missing from the account reads as empty rather than taking the
                    // text of the field before it.
                    if (xml.FindNextChildElement(f.element)) {
                        *account->Field(f.field) = xml.GetChildText();
                    }
                }
                lists.AppendAccount(std::move(account));
            }
            xml.LeaveElement();
        }
    }
    return true;
}
