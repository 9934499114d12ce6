#pragma once

#include <QImage>

// What kelo's panel shows lit, read from a picture of its window as a person reads it: the group
// (1..columns, 0 for none; six side by side in the keyboard view, five in the mouse view) whose
// face is dark orange and, while a list is open, how many lines it shows and the rank (from 0)
// of its line on dark orange (-1 for none): black text on bands of the highlight's colours.
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
    int highlightedGroup = 0, lineCount = 0, highlightedLine = -1;
};
