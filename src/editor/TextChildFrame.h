// The plain child window of the encrypted text document: one text view fills it.
#pragma once

#include "framework/ChildFrame.h"

class CChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr) : CMDIChildWnd(parent) {}
};
