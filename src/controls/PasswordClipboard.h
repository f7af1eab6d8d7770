// Passwords copied from the account forms: put on the clipboard marked as secret (so
// clipboard managers leave them out of their history), and taken off again 30 seconds later,
// when the screen locks or when the document they came from closes - each time only if the
// clipboard still holds what was put there.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class PasswordClipboard : public QObject {
    Q_OBJECT
public:
    static PasswordClipboard& Instance();

    static constexpr uint32_t kClearAfterMs = 30000;
    // The MIME type and value with which desktop clipboard managers recognise a secret.
    static constexpr const char* kHintType = "x-kde-passwordManagerHint";
    static constexpr const char* kHintValue = "secret";

    // Puts `text` on the clipboard as a secret that came from `owner` (a document).
    void PutSecret(const QString& text, const void* owner);
    // Clears the clipboard when it still holds the secret; forgets the secret either way.
    void ClearIfOurs();
    // The document the secret came from is closing.
    void OwnerClosed(const void* owner);
    // True while a secret put here is waiting to be cleared.
    bool Watching() const { return !digest_.isEmpty(); }
    // One check of the clearing timer, as its ticks run it: clears once the time is up.
    void Tick();

private:
    PasswordClipboard();
    bool HoldsOurSecret() const;
    static QByteArray Digest(const QString& text);

    QByteArray digest_;
    uint32_t putAt_ = 0;
    const void* owner_ = nullptr;
    QTimer timer_;
};
