#include "scanpicture.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The highlight's colours keep within 40 of themselves, as does the text's black at a stroke's
// core. A run of one colour of solidRun is a face, never a letter. The gap under the dot of an i
// is one row, two lines of text lie four rows apart; a line is at least four rows high.
constexpr int tolerance = 40, solidRun = 20, lineGap = 2, lineRows = 4;

bool near(QRgb pixel, QRgb colour)
{
    return std::abs(qRed(pixel) - qRed(colour)) <= tolerance
        && std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance
        && std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
}

} // namespace

ScanPicture::ScanPicture(const QImage &window, int columns)
{
    const QImage image = window.convertToFormat(QImage::Format_RGB32);
    const int width = image.width(), height = image.height();
    if (width < columns * solidRun || height < 1)
        return;
    // Faces in the upper half; no list entry is read in the lowest quarter (the indicator).
    const int faceBand = height * 5 / 8, textBand = height * 3 / 4;
    int faceColumn = -1, faceRows = 0;
    for (int column = 0; column < columns; ++column) {
        const int left = column * width / columns, right = (column + 1) * width / columns;
        // Black text on bands of colour: the lines of one unbroken stretch of bands are a list
        // (a face or a prediction is a stretch of one line); in the mouse view only the centre.
        int lines = 0, orangeLine = -1, orangeFaceRows = 0, rows = 0, gap = lineGap + 1;
        bool lineOrange = false;
        const auto endLine = [&] {
            orangeLine = rows >= lineRows && lineOrange && orangeLine < 0 ? lines : orangeLine;
            lines += rows >= lineRows;
            rows = 0, lineOrange = false;
        };
        const auto endStretch = [&] {
            endLine();
            if ((columns != 5 || column == 2) && lines >= 2 && lines > lineCount) {
                lineCount = lines;
                highlightedLine = orangeLine;
                highlightedGroup = column + 1;
            }
            lines = 0, orangeLine = -1;
        };
        for (int y = 0; y < textBand; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            int run = 0, longestOrange = 0, coloured = 0, orange = 0;
            bool previousOrange = false, dark = false;
            for (int x = left; x < right; ++x) {
                const bool o = near(row[x], 0xff8c00); // dark orange
                const bool b = !o && near(row[x], 0x6495ed); // cornflower blue
                run = (o || b) ? (run > 0 && previousOrange == o ? run + 1 : 1) : 0;
                previousOrange = o;
                coloured += o || b, orange += o;
                longestOrange = o ? std::max(longestOrange, run) : longestOrange;
                dark = dark || near(row[x], 0x000000);
            }
            orangeFaceRows += longestOrange >= solidRun && y < faceBand;
            // A band's row of text is one still mostly of its colour, between the letters.
            if (coloured < solidRun)
                endStretch();
            else if (dark)
                gap = 0, ++rows, lineOrange = lineOrange || 2 * orange > coloured;
            else if (++gap > lineGap)
                endLine();
        }
        endStretch();
        if (orangeFaceRows > faceRows)
            faceRows = orangeFaceRows, faceColumn = column;
    }
    // An open list may hide its own face; it belongs to the highlighted group.
    if (lineCount == 0 && faceColumn >= 0)
        highlightedGroup = faceColumn + 1;
}
