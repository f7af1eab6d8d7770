// Tables of what a tree's find field shows: the labels of the rows it shows for a text, with
// or without the notes box ticked.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QStringList>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <vector>

#include "controls/TreeFinder.h"

struct FindCase {
    const char* text;
    bool notes;
    QStringList shown;
};

inline QStringList ShownLabels(const TreeFinder& finder) {
    QStringList labels;
    for (int row = 0; row < finder.ResultCount(); ++row) {
        labels << finder.ResultItem(row)->text(0);
    }
    return labels;
}

// Types each case's text (UTF-8) with the box as the case says and checks the rows shown.
inline void ExpectFindCases(TreeFinder& finder, const std::vector<FindCase>& cases) {
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.text);
        finder.NotesBox()->setChecked(c.notes);
        finder.Field()->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(ShownLabels(finder), c.shown);
    }
}
