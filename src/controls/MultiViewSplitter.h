// CMultiViewSplitter: a splitter whose panes can each hold several views, one shown at a
// time. Hidden views keep their state; showing one hides the pane's current view.
#pragma once

#include <functional>
#include <map>
#include <utility>
#include <vector>

#include <QSizePolicy>
#include <QSplitter>

class QStackedWidget;

class CMultiViewSplitter : public QSplitter {
    Q_OBJECT
public:
    CMultiViewSplitter(int rows, int columns, QWidget* parent = nullptr);

    // Puts a single, permanent widget into the pane (the splitter's ordinary view); it gets
    // no view id.
    void SetPaneWidget(int row, int column, QWidget* widget);
    // Creates a view in pane (row, column) with `create` (given the pane as parent) and shows
    // it. Returns its view id (1, 2, ... in the order of adding), or -1 when creation failed,
    // in which case the pane keeps showing what it showed.
    using ViewFactory = std::function<QWidget*(QWidget* pane)>;
    int AddView(int row, int column, const ViewFactory& create);
    // Shows the view with the id in its pane; false for an unknown id.
    bool ShowView(int viewId);
    // The view with the id, or null.
    QWidget* GetView(int viewId) const;
    // The id of the view shown in the pane, or -1.
    int ShownViewId(int row, int column) const;

    // Sets the width of a column; the other columns share the rest and take what the
    // splitter gains or loses when it is resized. The column gets its width whenever the
    // splitter is shown and wide enough for the other columns beside it, until the user
    // moves the handle.
    void SetColumnWidth(int column, int width, int minimum = 0);
    // The size at which every pane shows its views without scrolling: the columns' minimum
    // sizes (a column given a width at least that wide) side by side.
    QSize ContentSize() const;

signals:
    // The user let go of a handle of this splitter after moving it (once per drag).
    void handleReleased();

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyColumnWidth();

    QStackedWidget* Pane(int row, int column) const;
    void ShowInPane(QStackedWidget* pane, QWidget* view);

    int rows_;
    int columns_;
    std::vector<QStackedWidget*> panes_;
    std::map<int, std::pair<int, int>> viewPane_;
    std::map<std::pair<int, int>, int> shown_;
    std::map<int, QWidget*> views_;
    // The own size policies of the views hidden behind others, which ignore their size.
    std::map<QWidget*, QSizePolicy> policies_;
    int nextId_ = 1;
    int widthColumn_ = -1;
    int columnWidth_ = 0;
    bool userMoved_ = false;
    // A handle moved since the last time the user let go of one.
    bool movedInDrag_ = false;
    class ReleaseHandle;
};
