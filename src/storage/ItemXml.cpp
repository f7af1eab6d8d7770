#include "storage/ItemXml.h"

#include "crypto/Ciphers.h"
#include "markup/CMarkup.h"

#include <span>

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";

struct ItemField {
    const char* element;
    std::string ItemAccount::*member;
};

constexpr ItemField kWebFields[] = {{"NAME", &ItemAccount::name},
                                    {"ADDRESS", &ItemAccount::address},
                                    {"USERID", &ItemAccount::userId},
                                    {"PASSWORD", &ItemAccount::password},
                                    {"NOTES", &ItemAccount::notes}};
constexpr ItemField kOtherFields[] = {{"NAME", &ItemAccount::name},
                                      {"USERID", &ItemAccount::userId},
                                      {"PASSWORD", &ItemAccount::password},
                                      {"NOTES", &ItemAccount::notes}};

struct ItemSchema {
    const char* element = nullptr;
    std::span<const ItemField> fields;
};

ItemSchema SchemaOf(StorageItemType type) {
    if (type == StorageItemType::WebAccount) {
        return {"WEB_ACCOUNT", kWebFields};
    }
    if (type == StorageItemType::OtherAccount) {
        return {"OTHER_ACCOUNTS", kOtherFields};
    }
    return {};
}

void Wipe(std::string& s) {
    SecureWipe(s.data(), s.size());
}

} // namespace

ItemAccount::~ItemAccount() {
    for (std::string* field : {&name, &address, &userId, &password, &notes}) {
        Wipe(*field);
    }
}

std::string WriteItemXml(StorageItemType type, const ItemAccount& account) {
    const ItemSchema schema = SchemaOf(type);
    if (schema.element == nullptr) {
        return {};
    }
    CMarkup xml;
    xml.SetText(kXmlDeclaration);
    xml.AppendElement("DOC");
    xml.EnterElement();
    xml.AppendElement(schema.element);
    xml.EnterElement();
    for (const ItemField& f : schema.fields) {
        xml.AppendElement(f.element, account.*f.member);
    }
    return xml.GetText();
}

std::string XmlDeclaringEncoding(std::string_view stored, std::string_view encoding) {
    if (stored.substr(0, kXmlDeclaration.size()) != kXmlDeclaration) {
        return std::string(stored);
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"";
    out += encoding;
    out += "\"?>\r\n";
    out += stored.substr(kXmlDeclaration.size());
    return out;
}

ItemAccount ReadItemXml(StorageItemType type, std::string_view text) {
    ItemAccount account;
    const ItemSchema schema = SchemaOf(type);
    if (schema.element == nullptr || text.empty()) {
        return account;
    }
    CMarkup xml;
    xml.SetText(text);
    if (!xml.FindNextElement() || !xml.EnterElement() || !xml.FindNextElement(schema.element)) {
        return account;
    }
    for (const ItemField& f : schema.fields) {
        // A missing child reads as empty rather than as the text of the child before it.
        if (xml.FindNextChildElement(f.element)) {
            account.*f.member = xml.GetChildText();
        }
    }
    return account;
}
