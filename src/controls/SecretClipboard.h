// Copies of secrets (passwords and fields of accounts, notes, pictures, the text of an
// encrypted text): put on the clipboard marked as secret, so clipboard managers leave them out
// of their history, and taken off again 30 seconds later, when the screen locks or when the
// document they came from closes - each time only if the clipboard still holds that copy.
#pragma once

#include <cstdint>

#include <QObject>
#include <QPointer>
#include <QTimer>

class QImage;
class QMimeData;
class QString;

class SecretClipboard : public QObject {
    Q_OBJECT
public:
    static SecretClipboard& Instance();

    static constexpr uint32_t kClearAfterMs = 30000;
    // The MIME type and value with which desktop clipboard managers recognise a secret.
    static constexpr const char* kHintType = "x-kde-passwordManagerHint";
    static constexpr const char* kHintValue = "secret";

    // Adds the secret mark to `data`.
    static void MarkSecret(QMimeData& data);
    static bool IsMarkedSecret(const QMimeData* data);

    // Puts `data` (taken over) on the clipboard, marked as a secret that came from `owner`
    // (a document, or null), and starts its clearing time.
    void Put(QMimeData* data, const void* owner);
    void PutText(const QString& text, const void* owner);
    void PutImage(const QImage& image, const void* owner);
    // Clears the clipboard when it still holds the copy put here; forgets it either way.
    void ClearIfOurs();
    // The document the copy came from is closing.
    void OwnerClosed(const void* owner);
    // True while a copy put here is waiting to be cleared.
    bool Watching() const { return watching_; }
    // One check of the clearing timer, as its ticks run it: clears once the time is up.
    void Tick();

private:
    SecretClipboard();
    void Forget();

    // The clipboard deletes the data it holds when something else is copied, which clears
    // this pointer: the copy is ours exactly while the clipboard still hands out this object.
    QPointer<QMimeData> data_;
    bool watching_ = false;
    uint32_t putAt_ = 0;
    const void* owner_ = nullptr;
    QTimer timer_;
};
