// The XML plaintext of a passwords file: the account lists written with CMarkup in the stored
// layout, and read back with the walk that files of every age rely on.
#pragma once

#include "passwords/Accounts.h"

#include <string>
#include <string_view>

inline constexpr std::string_view kAccountsXmlHeader =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";

// Deleted slots are skipped; empty lists are written as empty elements.
std::string WriteAccountsXml(const AccountLists& lists);

// Replaces the lists with the accounts of the text. Text that does not parse leaves them
// empty and returns false.
bool ReadAccountsXml(std::string_view text, AccountLists& lists);
// True when the text parses as XML with a root element, as a passwords document does.
bool IsAccountsXml(std::string_view text);
