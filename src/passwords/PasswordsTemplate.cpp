#include "passwords/PasswordsTemplate.h"

#include "framework/DocTemplate.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"

std::unique_ptr<CDocTemplate> MakePasswordsTemplate(int resourceId, const QString& docString) {
    // The frame makes its own views; the template's view is the tree, for callers that ask
    // a template for one.
    return std::make_unique<CDocTemplate>(
        resourceId, docString, [] { return std::make_unique<COmbrivaultDoc>(); },
        [] { return new COmbrivaultChildFrame(); },
        [](CDocument* doc) { return new CLeftView(doc); });
}
