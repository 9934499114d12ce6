#include "scanpicture.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr QRgb darkorange = 0xff8c00;
constexpr QRgb cornflowerblue = 0x6495ed;
// The strokes of bold text keep their colour within this much; anti-aliased edges, which
// blend into the background, do not count.
constexpr int tolerance = 40;
// A run of one colour this long is a group's face or the indicator, never a letter.
constexpr int solidRun = 20;
// Strokes of bold text are at least this wide; lone coloured pixels are the fringes of
// sub-pixel anti-aliased black text (the menu strip, the settings view's labels).
constexpr int strokeWidth = 2;
// Rows without colour that still belong to the line above: the gap under the dot of an i (one
// row); a descender and the next line's ascender lie four rows apart.
constexpr int lineGap = 2;
// A line of text is at least this many rows high; less is a stray mark.
constexpr int lineRows = 4;

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
    // The faces stand in the upper half of the panel; the indicator lies in the lowest quarter.
    const int faceBand = height * 5 / 8;
    int faceColumn = -1, faceRows = 0;
    for (int column = 0; column < columns; ++column) {
        const int left = column * width / columns, right = (column + 1) * width / columns;
        int lines = 0, orangeLine = -1, orangeFaceRows = 0;
        // The line being read: its rows with strokes, whether any is orange, rows since.
        int rows = 0, gap = lineGap + 1;
        bool lineOrange = false;
        const auto endLine = [&] {
            if (rows >= lineRows) {
                if (lineOrange && orangeLine < 0)
                    orangeLine = lines;
                ++lines;
            }
            rows = 0;
            lineOrange = false;
        };
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            // Runs of one colour: the longest of either, and the longest orange one.
            int run = 0, longest = 0, longestOrange = 0;
            bool previousOrange = false;
            for (int x = left; x < right; ++x) {
                const bool o = near(row[x], darkorange);
                const bool b = !o && near(row[x], cornflowerblue);
                run = (o || b) ? (run > 0 && previousOrange == o ? run + 1 : 1) : 0;
                previousOrange = o;
                longest = std::max(longest, run);
                if (o)
                    longestOrange = std::max(longestOrange, run);
            }
            if (longestOrange >= solidRun && y < faceBand)
                ++orangeFaceRows;
            if (longest < strokeWidth || longest >= solidRun) {
                if (++gap > lineGap)
                    endLine();
                continue;
            }
            gap = 0;
            ++rows;
            lineOrange = lineOrange || longestOrange >= strokeWidth;
        }
        endLine();
        if (orangeFaceRows > faceRows) {
            faceRows = orangeFaceRows;
            faceColumn = column;
        }
        // Face titles are white; coloured lines of text are the entries of an open list. In
        // the mouse view only the centre has a list; the arrows' slanted edges are no text.
        const bool mayHoldList = columns != 5 || column == 2;
        if (mayHoldList && lines >= 2 && lines > lineCount) {
            lineCount = lines;
            highlightedLine = orangeLine;
            highlightedGroup = column + 1;
        }
    }
    // An open list may hide its own face; it belongs to the highlighted group.
    if (lineCount == 0 && faceColumn >= 0)
        highlightedGroup = faceColumn + 1;
}
