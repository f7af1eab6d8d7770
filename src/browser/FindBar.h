// The find bar of a browser window: the text to look for in the page, the next and previous
// match, whether case matters, and how many matches the page holds. Enter finds the next
// match, Shift+Enter the previous one, Escape or the close button hides the bar.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

class CFindBar : public QWidget {
    Q_OBJECT
public:
    explicit CFindBar(QWidget* parent = nullptr);

    // Shows the bar with the focus in its text, all of it selected.
    void Open();
    QString Text() const;
    bool CaseSensitive() const;
    QLineEdit* Edit() const { return edit_; }
    // Shows how a search ended: the number of the current match (from 1) and of all matches.
    void ShowResult(int current, int count);
    QString ResultText() const;

signals:
    // The page is to be searched for the bar's text (again).
    void FindRequested(bool backward);
    // The bar was hidden; the page drops its highlight.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Close();

    QLineEdit* edit_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QLabel* result_ = nullptr;
};
