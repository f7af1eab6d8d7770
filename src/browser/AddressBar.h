// The browser's address bar: an editable drop-down list of the history with completion from
// it. It tells apart an entry chosen from its list from text typed and confirmed with Enter.
#pragma once

#include <QComboBox>

class QIcon;

class CAddressBar : public QComboBox {
    Q_OBJECT
public:
    explicit CAddressBar(QWidget* parent = nullptr);

    // The text in the edit field.
    QString Text() const;
    void SetText(const QString& text);
    bool EditHasFocus() const;
    // The image of every entry, shown in the edit field as well.
    void SetEntryIcon(const QIcon& icon);

    void showPopup() override;
    void hidePopup() override;

signals:
    // Enter in the edit field.
    void Entered();
    // An entry picked from the drop-down list.
    void Chosen(int index);

private:
    bool fromList_ = false;
};
