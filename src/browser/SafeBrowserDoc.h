// The document of a browser window. It has no data and no file: its title is the title of
// the page on show, and closing it never asks to save anything.
#pragma once

#include "framework/Document.h"

class CSafeBrowserDoc : public CDocument {
public:
    // There is never anything to save.
    void SetModifiedFlag(bool) override { CDocument::SetModifiedFlag(false); }
    // The window caption follows the page; a page without a title shows its address.
    void FollowPage(const QString& title, const QString& address);
};
