#include "app/ScreenLockDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "base/CodePage.h"
#include "base/ProductInfo.h"
#include "controls/JMatrixCtrl.h"
#include "dialogs/PasswordBuffer.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

namespace {

constexpr int kPlaceholderLength = 8;
constexpr QSize kPreviewSize(400, 120);

const char* const kTimeoutTexts[kTimeoutCount] = {
    "1 minute",   "2 minutes",  "3 minutes",  "5 minutes",
    "10 minutes", "15 minutes", "30 minutes", "60 minutes",
};

// Typed text as the record keeps it: the program's code page, cut at a character boundary.
std::string RecordText(const QString& text) {
    const auto codePage = CodePage::Program();
    std::string bytes = codePage->FromUtf16(text.toStdU16String());
    bytes.resize(codePage->CharacterBoundaryAtMost(bytes, ScreenLockSettings::kMaxTextBytes));
    return bytes;
}

QString TextOf(const std::string& bytes) {
    return QString::fromStdU16String(CodePage::Program()->ToUtf16(bytes));
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, bool masked) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (masked) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text) {
    auto* check = new QCheckBox(QString::fromLatin1(text), parent);
    check->setObjectName(QString::fromLatin1(name));
    return check;
}

} // namespace

QString CScreenLockDlg::StoredPasswordPlaceholder() {
    // A private-use character: nothing a keyboard types, so a typed password never equals it.
    return QString(kPlaceholderLength, QChar(0xE000));
}

CScreenLockDlg::CScreenLockDlg(CEditorApp& app, QWidget* parent)
    : CLockAwareDialog(parent), app_(app) {
    setWindowTitle(QStringLiteral("Screen Lock Settings"));

    previewArea_ = new QFrame(this);
    previewArea_->setObjectName(QStringLiteral("previewArea"));
    previewArea_->setFixedSize(kPreviewSize);
    auto* previewLayout = new QVBoxLayout(previewArea_);
    previewLayout->setContentsMargins(0, 0, 0, 0);

    lockWhenIdle_ = MakeCheck(this, "lockWhenIdle", "Lock the screen if idle for more than ");
    timeout_ = new QComboBox(this);
    timeout_->setObjectName(QStringLiteral("timeout"));
    for (const char* text : kTimeoutTexts) {
        timeout_->addItem(QString::fromLatin1(text));
    }
    auto* idleRow = new QHBoxLayout;
    idleRow->setSpacing(0);
    idleRow->addWidget(lockWhenIdle_);
    idleRow->addWidget(timeout_);
    idleRow->addStretch(1);

    lockAtStartup_ = MakeCheck(this, "lockAtStartup", "Lock the screen at program startup...");
    lockWithDesktop_ = MakeCheck(this, "lockWithDesktop",
                                 "Lock the screen when the desktop locks or the computer sleeps");

    auto* group = new QGroupBox(QStringLiteral("Screen Password:"), this);
    group->setObjectName(QStringLiteral("passwordGroup"));
    passwordLabel_ = new QLabel(QStringLiteral("Password:"), group);
    password_ = MakeEdit(group, "password", true);
    passwordLabel_->setBuddy(password_);
    confirmLabel_ = new QLabel(QStringLiteral("Confirm Password:"), group);
    confirm_ = MakeEdit(group, "confirm", true);
    confirmLabel_->setBuddy(confirm_);
    passwordEnabled_ = MakeCheck(group, "passwordEnabled", "Enable Screen Password");
    auto* grid = new QGridLayout(group);
    grid->addWidget(passwordLabel_, 0, 0);
    grid->addWidget(password_, 0, 1);
    grid->addWidget(confirmLabel_, 1, 0);
    grid->addWidget(confirm_, 1, 1);
    grid->addWidget(passwordEnabled_, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    promptLabel_ = new QLabel(QStringLiteral("Prompt Text: "), this);
    prompt_ = MakeEdit(this, "prompt", false);
    promptLabel_->setBuddy(prompt_);
    auto* promptRow = new QHBoxLayout;
    promptRow->addWidget(promptLabel_);
    promptRow->addWidget(prompt_, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CScreenLockDlg::OnOk);
    connect(cancel, &QPushButton::clicked, this, &CScreenLockDlg::OnCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(previewArea_, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addLayout(idleRow);
    layout->addWidget(lockAtStartup_);
    layout->addWidget(lockWithDesktop_);
    layout->addWidget(group);
    layout->addLayout(promptRow);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox* check : {lockWhenIdle_, lockAtStartup_, lockWithDesktop_, passwordEnabled_}) {
        connect(check, &QCheckBox::clicked, this, [this] {
            ApplyEnablingRules();
            ResetIdleTimer();
        });
    }
    for (QLineEdit* edit : {password_, confirm_, prompt_}) {
        connect(edit, &QLineEdit::textEdited, this, [] { ResetIdleTimer(); });
    }
    connect(timeout_, &QComboBox::activated, this, [] { ResetIdleTimer(); });
}

CScreenLockDlg::~CScreenLockDlg() {
    password_->clear();
    confirm_->clear();
    DestroyPreview();
}

void CScreenLockDlg::OnInitDialog() {
    app_.LoadScreenLockSettings();
    const ScreenLockSettings& settings = app_.LockSettings();
    const int index = settings.timeoutIndex;
    timeout_->setCurrentIndex(index >= 0 && index < kTimeoutCount ? index : 0);
    prompt_->setText(TextOf(settings.promptText));
    lockWhenIdle_->setChecked(settings.lockWhenIdle != 0);
    lockAtStartup_->setChecked(settings.lockAtStartup != 0);
    lockWithDesktop_->setChecked(settings.lockWithDesktop != 0);
    passwordEnabled_->setChecked(settings.passwordEnabled != 0);
    if (settings.HasScreenPassword()) {
        password_->setText(StoredPasswordPlaceholder());
        confirm_->setText(StoredPasswordPlaceholder());
    }
    ApplyEnablingRules();

    auto* preview = new JMatrixCtrl({}, previewArea_);
    preview->setObjectName(QStringLiteral("preview"));
    preview->Create(previewArea_->rect(), previewArea_);
    previewArea_->layout()->addWidget(preview);
    preview_ = preview;
}

void CScreenLockDlg::ApplyEnablingRules() {
    const bool idle = lockWhenIdle_->isChecked();
    const bool anyLock = idle || lockAtStartup_->isChecked() || lockWithDesktop_->isChecked();
    const bool passwords = anyLock && passwordEnabled_->isChecked();
    timeout_->setEnabled(idle);
    promptLabel_->setEnabled(anyLock);
    prompt_->setEnabled(anyLock);
    passwordEnabled_->setEnabled(anyLock);
    for (QWidget* w :
         std::initializer_list<QWidget*>{passwordLabel_, password_, confirmLabel_, confirm_}) {
        w->setEnabled(passwords);
    }
}

void CScreenLockDlg::OnOk() {
    if (password_->text() != confirm_->text()) {
        ShowMessageBox(this, QString::fromLatin1(kMismatchText), QString::fromLatin1(kAppTitle),
                       MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }
    ScreenLockSettings& settings = app_.LockSettings();
    const ScreenLockSettings before = settings;
    if (password_->text() != StoredPasswordPlaceholder()) {
        const SecretBuffer typed = PasswordBuffer::Encode(password_->text());
        const bool hashed = settings.SetScreenPassword(typed.View());
        if (!hashed) {
            ShowMessageBox(this, QStringLiteral("The screen password could not be stored."),
                           QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Error);
            return;
        }
    }
    settings.promptText = RecordText(prompt_->text());
    settings.lockWhenIdle = lockWhenIdle_->isChecked() ? 1 : 0;
    settings.lockAtStartup = lockAtStartup_->isChecked() ? 1 : 0;
    settings.lockWithDesktop = lockWithDesktop_->isChecked() ? 1 : 0;
    settings.passwordEnabled = passwordEnabled_->isChecked() ? 1 : 0;
    settings.timeoutIndex = std::max(0, timeout_->currentIndex());
    if (!app_.SaveScreenLockSettings()) {
        // The dialog stays open with what was typed; nothing changed on disk.
        settings = before;
        ShowMessageBox(this,
                       QStringLiteral("The screen lock settings could not be saved to %1.")
                           .arg(QString::fromStdString(app_.LockStore().Path())),
                       QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Error);
        return;
    }
    if (CMainFrame* frame = app_.MainFrame()) {
        frame->Lock().SetIdleTimeoutSeconds(
            static_cast<uint32_t>(TimeoutMinutes(settings.timeoutIndex)) * 60);
    }
    DestroyPreview();
    EndDialog(IDOK);
}

void CScreenLockDlg::OnCancel() {
    DestroyPreview();
    EndDialog(IDCANCEL);
}

void CScreenLockDlg::OnLockClose() {
    DestroyPreview();
    if (CLockHost* host = CLockHost::Current()) {
        host->SetReopenFlag(ReopenFlag::ScreenLockOptions);
    }
}

void CScreenLockDlg::DestroyPreview() {
    delete preview_;
}
