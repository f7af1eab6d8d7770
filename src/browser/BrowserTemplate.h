// The document template of the browser kind: CSafeBrowserDoc in a CSafeBrowserChildFrame
// with a CSafeBrowserView. It has no file type.
#pragma once

#include <memory>

#include <QString>

class CDocTemplate;

std::unique_ptr<CDocTemplate> MakeBrowserTemplate(int resourceId, const QString& docString);
