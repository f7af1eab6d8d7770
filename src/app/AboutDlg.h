// "About Ombrivault Storage": product name, version, build and a link to the web site.
#pragma once

#include <QLabel>

#include "framework/LockAwareDialog.h"

// A label that shows an address as a link and opens it when clicked.
class CLinkLabel : public QLabel {
    Q_OBJECT
public:
    CLinkLabel(const QString& url, QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString url_;
};

class CAboutDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    void OnLockClose() override;
    int LockResult() const override { return 0; }
};
