#include "controls/MultiViewSplitter.h"

#include <QMouseEvent>
#include <QScrollArea>
#include <QStackedWidget>

// A handle that tells its splitter when the user lets go of it.
class CMultiViewSplitter::ReleaseHandle : public QSplitterHandle {
public:
    ReleaseHandle(Qt::Orientation orientation, CMultiViewSplitter* parent)
        : QSplitterHandle(orientation, parent), owner_(parent) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QSplitterHandle::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && owner_->movedInDrag_) {
            owner_->movedInDrag_ = false;
            emit owner_->handleReleased();
        }
    }

private:
    CMultiViewSplitter* owner_;
};

CMultiViewSplitter::CMultiViewSplitter(int rows, int columns, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), rows_(std::max(rows, 1)), columns_(std::max(columns, 1)) {
    setChildrenCollapsible(false);
    // Once the user has placed the handle, the window keeps it where it was put.
    connect(this, &QSplitter::splitterMoved, this, [this] {
        userMoved_ = true;
        movedInDrag_ = true;
    });
    for (int column = 0; column < columns_; ++column) {
        QSplitter* holder = this;
        if (rows_ > 1) {
            holder = new QSplitter(Qt::Vertical, this);
            addWidget(holder);
        }
        for (int row = 0; row < rows_; ++row) {
            // A pane made smaller than its views need scrolls instead of squeezing them.
            auto* scroll = new QScrollArea(holder);
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidgetResizable(true);
            auto* pane = new QStackedWidget;
            scroll->setWidget(pane);
            holder->addWidget(scroll);
            panes_.push_back(pane);
        }
    }
    // Panes are stored row by row.
    std::vector<QStackedWidget*> byRow(panes_.size());
    for (int column = 0; column < columns_; ++column) {
        for (int row = 0; row < rows_; ++row) {
            byRow[row * columns_ + column] = panes_[column * rows_ + row];
        }
    }
    panes_ = std::move(byRow);
}

QSplitterHandle* CMultiViewSplitter::createHandle() {
    return new ReleaseHandle(orientation(), this);
}

QStackedWidget* CMultiViewSplitter::Pane(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return nullptr;
    }
    return panes_[row * columns_ + column];
}

void CMultiViewSplitter::SetPaneWidget(int row, int column, QWidget* widget) {
    if (QStackedWidget* pane = Pane(row, column); pane != nullptr && widget != nullptr) {
        pane->addWidget(widget);
        ShowInPane(pane, widget);
    }
}

int CMultiViewSplitter::AddView(int row, int column, const ViewFactory& create) {
    QStackedWidget* pane = Pane(row, column);
    if (pane == nullptr || !create) {
        return -1;
    }
    QWidget* remembered = pane->currentWidget();
    QWidget* view = create(pane);
    if (view == nullptr) {
        if (remembered != nullptr) {
            ShowInPane(pane, remembered);
        }
        return -1;
    }
    pane->addWidget(view);
    ShowInPane(pane, view);
    const int id = nextId_++;
    viewPane_[id] = {row, column};
    views_[id] = view;
    shown_[{row, column}] = id;
    return id;
}

bool CMultiViewSplitter::ShowView(int viewId) {
    const auto view = views_.find(viewId);
    if (view == views_.end() || view->second == nullptr) {
        return false;
    }
    const auto [row, column] = viewPane_.at(viewId);
    ShowInPane(Pane(row, column), view->second);
    shown_[{row, column}] = viewId;
    return true;
}

void CMultiViewSplitter::ShowInPane(QStackedWidget* pane, QWidget* view) {
    // Only the shown view decides the pane's size: a small view does not scroll because a
    // larger one waits behind it.
    if (QWidget* old = pane->currentWidget(); old != nullptr && old != view) {
        policies_.try_emplace(old, old->sizePolicy());
        old->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
    if (const auto kept = policies_.find(view); kept != policies_.end()) {
        view->setSizePolicy(kept->second);
        policies_.erase(kept);
    }
    pane->setCurrentWidget(view);
}

QWidget* CMultiViewSplitter::GetView(int viewId) const {
    const auto view = views_.find(viewId);
    return view != views_.end() ? view->second : nullptr;
}

int CMultiViewSplitter::ShownViewId(int row, int column) const {
    const auto shown = shown_.find({row, column});
    return shown != shown_.end() ? shown->second : -1;
}

void CMultiViewSplitter::SetColumnWidth(int column, int width, int minimum) {
    if (column < 0 || column >= count()) {
        return;
    }
    widget(column)->setMinimumWidth(minimum);
    for (int i = 0; i < count(); ++i) {
        setStretchFactor(i, i == column ? 0 : 1);
    }
    widthColumn_ = column;
    columnWidth_ = width;
    userMoved_ = false;
    ApplyColumnWidth();
}

void CMultiViewSplitter::ApplyColumnWidth() {
    if (widthColumn_ < 0 || userMoved_ || !isVisible() ||
        sizes().value(widthColumn_) == columnWidth_) {
        return;
    }
    // Until the other columns fit beside the width, the width waits for a larger splitter.
    const int total = width() - handleWidth() * (count() - 1);
    int needed = columnWidth_;
    for (int i = 0; i < count(); ++i) {
        if (i != widthColumn_) {
            needed += widget(i)->minimumSizeHint().width();
        }
    }
    if (total < needed) {
        return;
    }
    const int others = count() - 1;
    QList<int> sizes;
    for (int i = 0; i < count(); ++i) {
        sizes << (i == widthColumn_ ? columnWidth_ : (total - columnWidth_) / others);
    }
    setSizes(sizes);
}

void CMultiViewSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    ApplyColumnWidth();
}

void CMultiViewSplitter::showEvent(QShowEvent* event) {
    QSplitter::showEvent(event);
    ApplyColumnWidth();
}

QSize CMultiViewSplitter::ContentSize() const {
    // Columns side by side, rows of a column one above the other.
    QSize size(handleWidth() * (columns_ - 1), 0);
    for (int column = 0; column < columns_; ++column) {
        QSize columnSize(0, 0);
        for (int row = 0; row < rows_; ++row) {
            QSize pane(0, 0);
            const QStackedWidget* stack = panes_[row * columns_ + column];
            // Every view counts, the hidden ones too: each is shown in its turn.
            for (int i = 0; i < stack->count(); ++i) {
                pane = pane.expandedTo(stack->widget(i)->minimumSizeHint());
            }
            columnSize = QSize(std::max(columnSize.width(), pane.width()),
                               columnSize.height() + pane.height());
        }
        if (column == widthColumn_) {
            columnSize.setWidth(std::max(columnSize.width(), columnWidth_));
        }
        size =
            QSize(size.width() + columnSize.width(), std::max(size.height(), columnSize.height()));
    }
    return size;
}
