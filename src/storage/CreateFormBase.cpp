#include "storage/CreateFormBase.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "controls/EditEx.h"
#include "dialogs/PaneLook.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "storage/RightViewDrops.h"
#include "storage/StorageViewSite.h"

QLabel* AddLocationLine(QBoxLayout* layout, QWidget* parent) {
    auto* line = new QHBoxLayout;
    line->addWidget(MakePaneLabel(QStringLiteral("Current Folder: "), 13, Qt::black, parent));
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("location"));
    label->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kPaneBlue);
    label->setPalette(palette);
    // Stretches with the view; a long path does not widen it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    line->addWidget(label, 1);
    layout->addLayout(line);
    return label;
}

CCreateFormBase::CCreateFormBase(CDocument* document, CStorageViewSite* site, QWidget* parent,
                                 const Texts& texts)
    : CView(document, parent), site_(site) {
    setObjectName(QString::fromLatin1(texts.objectName));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(6);

    title_ = MakePaneLabel(QString::fromLatin1(texts.title), 17, kPaneBlue, this,
                           QStringLiteral("title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    layout->addSpacing(8);

    location_ = AddLocationLine(layout, this);
    layout->addSpacing(6);

    auto* prompt = MakePaneLabel(QString::fromLatin1(texts.prompt), 13, Qt::black, this,
                                 QStringLiteral("prompt"));
    layout->addWidget(prompt);
    edit_ = new CEditEx(false, this);
    edit_->setObjectName(QStringLiteral("name"));
    edit_->SetBackgroundColor(Qt::white);
    edit_->SetTextColor(Qt::black);
    edit_->SetFieldFont(15, kTimesNewRoman);
    prompt->setBuddy(edit_);
    layout->addWidget(edit_);

    extra_ = new QHBoxLayout;
    extra_->setSpacing(8);
    layout->addLayout(extra_);
    layout->addSpacing(10);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    action_ = MakeShadedButton(QString::fromLatin1(texts.action), PasswordsIcon("add"), this,
                               QStringLiteral("action"));
    cancel_ = MakeShadedButton(QStringLiteral("Cancel"), PasswordsIcon("delete"), this,
                               QStringLiteral("cancel"));
    buttons->addWidget(action_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);

    action_->setEnabled(false);
    connect(edit_, &CEditEx::Changed, this, &CCreateFormBase::OnEditChanged);
    connect(action_, &QPushButton::clicked, this, &CCreateFormBase::Act);
    connect(cancel_, &QPushButton::clicked, this, &CCreateFormBase::Cancel);
    edit_->installEventFilter(this);
    new StorageDropTarget(this, site_);
    new StorageDropTarget(edit_->viewport(), site_);
}

void CCreateFormBase::SetLocation(const QString& path) {
    location_->setText(path);
    edit_->SetText(QString());
    action_->setEnabled(false);
    edit_->setFocus();
}

QString CCreateFormBase::Location() const {
    return location_->text();
}

void CCreateFormBase::OnEditChanged() {
    action_->setEnabled(!edit_->Text().isEmpty());
    ResetIdleTimer();
}

void CCreateFormBase::Act() {
    ResetIdleTimer();
    Action(edit_->Text());
}

void CCreateFormBase::SetBrowse(int command, const QString& filter) {
    browseCommand_ = command;
    browseFilter_ = filter;
}

void CCreateFormBase::Browse() {
    if (browseCommand_ == 0) {
        return;
    }
    ResetIdleTimer();
    CTimedFileDialog dialog(true, QString(), QString(),
                            CTimedFileDialog::FileMustExist | CTimedFileDialog::PathMustExist,
                            browseFilter_, this, browseCommand_);
    dialog.SetFolderKind(FolderKind::Add);
    if (dialog.DoModal() == IDOK) {
        edit_->SetText(dialog.GetPathName());
    }
}

void CCreateFormBase::Cancel() {
    ResetIdleTimer();
    if (site_ != nullptr) {
        site_->ShowForm(StorageForm::Overview, site_->CurrentFolderPath());
    }
}

bool CCreateFormBase::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Act();
            return true;
        }
    }
    return CView::eventFilter(watched, event);
}

void CCreateFormBase::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Act();
        return;
    }
    CView::keyPressEvent(event);
}

bool CCreateFormBase::OnCommand(int id) {
    if (id != 0 && id == browseCommand_) {
        Browse();
        return true;
    }
    if (!RunEditCommand(edit_, id)) {
        return false;
    }
    ResetIdleTimer();
    return true;
}

bool CCreateFormBase::OnUpdateCommand(CCmdUI& ui) {
    if (ui.id != 0 && ui.id == browseCommand_) {
        return true;
    }
    return UpdateEditCommand(edit_, ui);
}
