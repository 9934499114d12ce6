#pragma once

#include <QImage>

// What kelo's keyboard panel shows highlighted, read from a picture of its window the way a
// person reads it: the group whose face is dark orange and, while a group's list is open, the
// rank from the top of the dark orange line in that list. The groups stand side by side, each
// in its share of the window's width (six in the keyboard view, five in the mouse view); a
// list opens in its group's share.
class ScanPicture
{
public:
    explicit ScanPicture(const QImage &window, int columns = 6);

    // 1..columns; 0 when no group is highlighted.
    int group() const { return highlightedGroup; }
    bool listOpen() const { return lineCount > 0; }
    // Lines of the open list that can be seen; 0 when no list is open.
    int lines() const { return lineCount; }
    // 0-based rank of the highlighted line of the open list; -1 when none is.
    int entry() const { return highlightedLine; }

    bool operator==(const ScanPicture &other) const
    {
        return highlightedGroup == other.highlightedGroup && lineCount == other.lineCount
            && highlightedLine == other.highlightedLine;
    }

private:
    int highlightedGroup = 0;
    int lineCount = 0;
    int highlightedLine = -1;
};
