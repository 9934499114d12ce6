#pragma once

#include <QImage>

// What kelo's panel shows highlighted, read from a picture of its window as a person reads it:
// the group (1..columns, 0 for none) whose face is dark orange and, while a list is open, how
// many lines it shows and the 0-based rank of its dark orange line (-1 for none). The groups
// stand side by side, six in the keyboard view, five in the mouse view.
class ScanPicture
{
public:
    explicit ScanPicture(const QImage &window, int columns = 6);

    int group() const { return highlightedGroup; }
    bool listOpen() const { return lineCount > 0; }
    int lines() const { return lineCount; }
    int entry() const { return highlightedLine; }
    bool operator==(const ScanPicture &) const = default;

private:
    int highlightedGroup = 0;
    int lineCount = 0;
    int highlightedLine = -1;
};
