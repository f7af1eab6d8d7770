// The document template of the passwords kind: COmbrivaultDoc in a COmbrivaultChildFrame.
#pragma once

#include <memory>

#include <QString>

class CDocTemplate;

std::unique_ptr<CDocTemplate> MakePasswordsTemplate(int resourceId, const QString& docString);
