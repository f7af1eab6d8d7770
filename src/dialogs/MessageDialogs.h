// The small question and message dialogs of the encrypted documents: decryption failure,
// file exists, save changes and the error box. Each ends as Cancel (2) when the screen locks.
#pragma once

#include <QString>

#include "framework/LockAwareDialog.h"

class QLabel;

// Shows a decryption failure for one file; OK (1).
class CFailedDecrypt : public CLockAwareDialog {
    Q_OBJECT
public:
    // `fileName` is shown as given; FileNamePart() gives the part callers pass.
    explicit CFailedDecrypt(const QString& fileName, QWidget* parent = nullptr);
    QString Text() const;

protected:
    void OnInitDialog() override;

private:
    QString fileName_;
    QLabel* text_;
};

// "The specified file already exists. Replace?": Yes (1) or No (2).
class CFileExistsDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CFileExistsDlg(QWidget* parent = nullptr);
};

// "Save changes to %s?": Yes (6), No (7) or Cancel (2).
class SaveModifiedDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit SaveModifiedDlg(const QString& pathOrName, QWidget* parent = nullptr);
    QString Text() const;

    // The name shown for `pathOrName`: the part after the last separator when a separator
    // stands anywhere but first or last; the whole text otherwise.
    static QString ShortName(const QString& pathOrName);

protected:
    void OnInitDialog() override;

private:
    QString name_;
    QLabel* text_;
};

// A general error message; OK (1).
class CErrorDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CErrorDlg(const QString& message, QWidget* parent = nullptr);
    QString Text() const;

private:
    QLabel* text_;
};
