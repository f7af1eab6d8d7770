// The XML text that web and other account items of a storage carry: a "DOC" root holding one
// account element with every field as a child, written and read with CMarkup.
#pragma once

#include "passwords/Accounts.h"

#include <string>
#include <string_view>

// Web accounts are written as "WEB_ACCOUNT", other accounts as "OTHER_ACCOUNTS"; mail
// accounts have no item of their own and give an empty text.
std::string WriteItemXml(const Account& account);
// Fills the fields of `account` (its kind chooses the element); the name field included.
// An empty text or one that does not parse leaves every field empty, as does a missing
// element; a missing child leaves that field empty.
void ReadItemXml(std::string_view text, Account& account);
