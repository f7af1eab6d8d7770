#include "storage/StorageTemplate.h"

#include "framework/DocTemplate.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"

std::unique_ptr<CDocTemplate> MakeStorageTemplate(int resourceId, const QString& docString) {
    // The frame makes its own views; the template's view is the tree, for callers that ask
    // a template for one.
    return std::make_unique<CDocTemplate>(
        resourceId, docString, [] { return std::make_unique<CPictureDoc>(); },
        [] { return new CPictureChildFrame(); },
        [](CDocument* doc) { return new CPictureLeftView(doc); });
}
