// The document template of the storage kind: CPictureDoc in a CPictureChildFrame.
#pragma once

#include <memory>

#include <QString>

class CDocTemplate;

std::unique_ptr<CDocTemplate> MakeStorageTemplate(int resourceId, const QString& docString);
