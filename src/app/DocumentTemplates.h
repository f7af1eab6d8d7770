// The six kinds of document and the templates that make them.
#pragma once

class CDocManager;

enum DocTemplateId {
    IDR_TEXT_TYPE = 125,
    IDR_PASSWORDS_TYPE = 126,
    IDR_STORAGE_TYPE = 127,
    IDR_BROWSER_TYPE = 128,
    IDR_PASSWORDS_OVF_TYPE = 140,
    IDR_TEXT_ETX_TYPE = 236,
};

// The menu shared by the document templates, and the main frame's own menu.
inline constexpr int IDR_DOCUMENT_MENU = 125;
inline constexpr int IDR_MAINFRAME = 124;
// The in-place container menu of the text templates.
inline constexpr int IDR_CNTR_INPLACE = 6;

// Registers the templates in their order: 125, 126, 127, 128, 140, 236.
void RegisterDocumentTemplates(CDocManager& manager);
