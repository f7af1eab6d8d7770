#include "dialogs/MessageDialogs.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "base/ProductInfo.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/ResultCodes.h"

namespace {
const QString kProductName = QString::fromLatin1(kAppTitle);

// Icon on the left, the texts beside it, the buttons in a row below.
QHBoxLayout* BuildMessageLayout(QDialog* dialog, QStyle::StandardPixmap icon,
                                std::initializer_list<QWidget*> texts) {
    auto* top = new QHBoxLayout;
    top->addWidget(MakeIconLabel(icon, dialog));
    auto* column = new QVBoxLayout;
    for (QWidget* text : texts) {
        column->addWidget(text);
    }
    column->addStretch(1);
    top->addLayout(column, 1);
    top->setSpacing(14);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    dialog->setMinimumWidth(340);
    KeepSizeOnceShown(dialog);
    return buttons;
}

void CentreButtons(QHBoxLayout* buttons) {
    buttons->addStretch(1);
}
} // namespace

CFailedDecrypt::CFailedDecrypt(const QString& fileName, QWidget* parent)
    : CLockAwareDialog(parent), fileName_(fileName) {
    setWindowTitle(kProductName);
    text_ =
        MakeTextLabel(QStringLiteral("Failed to decrypt the file. "), this, QStringLiteral("text"));
    auto* fixed = MakeTextLabel(QStringLiteral("Please check the password and try again."), this);
    QHBoxLayout* buttons = BuildMessageLayout(this, QStyle::SP_MessageBoxCritical, {text_, fixed});
    AddResultButton(this, buttons, QStringLiteral("OK"), QStringLiteral("ok"), IDOK)
        ->setDefault(true);
    CentreButtons(buttons);
}

void CFailedDecrypt::OnInitDialog() {
    text_->setText(QStringLiteral("Failed to decrypt the file: %1").arg(fileName_));
}

QString CFailedDecrypt::Text() const {
    return text_->text();
}

CFileExistsDlg::CFileExistsDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(kProductName);
    auto* text = MakeTextLabel(QStringLiteral("The specified file already exists. Replace?"), this);
    QHBoxLayout* buttons = BuildMessageLayout(this, QStyle::SP_MessageBoxQuestion, {text});
    AddResultButton(this, buttons, QStringLiteral("Yes"), QStringLiteral("yes"), IDOK);
    AddResultButton(this, buttons, QStringLiteral("No"), QStringLiteral("no"), IDCANCEL)
        ->setDefault(true);
    CentreButtons(buttons);
}

SaveModifiedDlg::SaveModifiedDlg(const QString& pathOrName, QWidget* parent)
    : CLockAwareDialog(parent), name_(ShortName(pathOrName)) {
    setWindowTitle(kProductName);
    text_ = MakeTextLabel(QStringLiteral("Save changes?"), this, QStringLiteral("text"));
    QHBoxLayout* buttons = BuildMessageLayout(this, QStyle::SP_MessageBoxQuestion, {text_});
    AddResultButton(this, buttons, QStringLiteral("Yes"), QStringLiteral("yes"), IDYES)
        ->setDefault(true);
    AddResultButton(this, buttons, QStringLiteral("No"), QStringLiteral("no"), IDNO);
    AddResultButton(this, buttons, QStringLiteral("Cancel"), QStringLiteral("cancel"), IDCANCEL);
    CentreButtons(buttons);
}

QString SaveModifiedDlg::ShortName(const QString& pathOrName) {
    const auto isSeparator = [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\');
    };
    bool inner = false;
    for (qsizetype i = 1; i + 1 < pathOrName.size(); ++i) {
        inner = inner || isSeparator(pathOrName[i]);
    }
    if (!inner) {
        return pathOrName;
    }
    const QString name = FileNamePart(pathOrName);
    // A path ending in a separator names no file; showing nothing would hide what is asked.
    return name.isEmpty() ? pathOrName : name;
}

void SaveModifiedDlg::OnInitDialog() {
    text_->setText(QStringLiteral("Save changes to %1?").arg(name_));
}

QString SaveModifiedDlg::Text() const {
    return text_->text();
}

CErrorDlg::CErrorDlg(const QString& message, QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Ombrivault Error..."));
    text_ = MakeTextLabel(message, this, QStringLiteral("text"));
    text_->setFont(TimesNewRoman(12));
    SetLabelColour(text_, kDarkBlue);
    QHBoxLayout* buttons = BuildMessageLayout(this, QStyle::SP_MessageBoxCritical, {text_});
    AddResultButton(this, buttons, QStringLiteral("OK"), QStringLiteral("ok"), IDOK)
        ->setDefault(true);
    CentreButtons(buttons);
}

QString CErrorDlg::Text() const {
    return text_->text();
}
