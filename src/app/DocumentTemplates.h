// The document templates that make the kinds of the table of document kinds.
#pragma once

#include "documents/DocumentKinds.h"

class CDocManager;

// The menu shared by the document templates, and the main frame's own menu.
inline constexpr int IDR_DOCUMENT_MENU = 125;
inline constexpr int IDR_MAINFRAME = 124;
// The in-place container menu of the text templates.
inline constexpr int IDR_CNTR_INPLACE = 6;

// Registers one template per row of the table of document kinds, in its order: 125, 126,
// 127, 128, 140, 236.
void RegisterDocumentTemplates(CDocManager& manager);
