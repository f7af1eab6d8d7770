// The XML text that web and other account items of a storage carry: a "DOC" root holding one
// account element with every field as a child, written and read with CMarkup.
#pragma once

#include "storage/StorageLayout.h"

#include <string>
#include <string_view>

// The fields of an account item, in the program's code page. Other accounts have no address.
// They hold passwords, so they are wiped when the record goes.
struct ItemAccount {
    ItemAccount() = default;
    ItemAccount(const ItemAccount&) = default;
    ItemAccount& operator=(const ItemAccount&) = default;
    ~ItemAccount();

    std::string name;
    std::string address;
    std::string userId;
    std::string password;
    std::string notes;
};

// Web accounts are written as "WEB_ACCOUNT" with NAME, ADDRESS, USERID, PASSWORD and NOTES;
// other accounts as "OTHER_ACCOUNTS" without the address. Every child is written, empty ones
// included. Any other type gives an empty text.
std::string WriteItemXml(StorageItemType type, const ItemAccount& account);
// Reads the fields of an item of that type. An empty text (a new item) or one that does not
// parse leaves every field empty, as does a missing account element; a missing child leaves
// its field empty.
ItemAccount ReadItemXml(StorageItemType type, std::string_view text);

// The stored XML of an account as an exported file declares it: with the encoding its bytes
// are really in (the stored form always names ISO-8859-1, whatever the code page). Text
// without the stored declaration is returned as it is.
std::string XmlDeclaringEncoding(std::string_view stored, std::string_view encoding);
