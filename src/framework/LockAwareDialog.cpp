#include "framework/LockAwareDialog.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

#include "framework/LockHost.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"

LockWatcher::LockWatcher(QDialog* dialog, std::function<int()> onLock)
    : QObject(dialog), dialog_(dialog), onLock_(std::move(onLock)) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    dialog_->installEventFilter(this);
}

void LockWatcher::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled_) {
        timer_.stop();
    } else if (dialog_->isVisible()) {
        timer_.start();
    }
}

bool LockWatcher::Tick() {
    if (!enabled_ || !dialog_->isVisible()) {
        return false;
    }
    CLockHost* host = CLockHost::Current();
    if (host == nullptr || !host->DialogsMustClose()) {
        return false;
    }
    timer_.stop();
    dialog_->done(onLock_());
    return true;
}

void LockWatcher::TickAll() {
    // Collected first: ending one dialog may close or delete others.
    const QWidgetList windows = QApplication::topLevelWidgets();
    QList<QPointer<LockWatcher>> watchers;
    for (QWidget* window : windows) {
        if (auto* dialog = qobject_cast<QDialog*>(window);
            dialog != nullptr && dialog->isVisible()) {
            for (LockWatcher* watcher :
                 dialog->findChildren<LockWatcher*>(QString(), Qt::FindDirectChildrenOnly)) {
                watchers.append(watcher);
            }
        }
    }
    for (const QPointer<LockWatcher>& watcher : watchers) {
        if (watcher != nullptr) {
            watcher->Tick();
        }
    }
}

bool LockWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog_) {
        if (event->type() == QEvent::Show && enabled_) {
            timer_.start();
        } else if (event->type() == QEvent::Hide) {
            timer_.stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

CLockAwareDialog::CLockAwareDialog(QWidget* parent)
    : QDialog(DialogOwner(parent)), watcher_(this, [this] {
          OnLockClose();
          return LockResult();
      }) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

int CLockAwareDialog::LockResult() const {
    return IDCANCEL;
}

int CLockAwareDialog::CancelResult() const {
    return IDCANCEL;
}

int CLockAwareDialog::DoModal() {
    setModal(true);
    return ModalSeam::Run(*this, LockResult());
}

void CLockAwareDialog::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CLockAwareDialog::reject() {
    done(CancelResult());
}
