#include "scanpicture.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Bold strokes keep their colour within 40, anti-aliased edges do not. A run of one colour of
// solidRun is a face or the indicator, never a letter; narrower runs than a stroke are fringes of
// sub-pixel anti-aliased black text. The gap under the dot of an i is one row, two lines of text
// lie four rows apart; a line is at least four rows high.
constexpr int tolerance = 40, solidRun = 20, strokeWidth = 2, lineGap = 2, lineRows = 4;

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
    // Faces stand in the upper half; the indicator, and the headset's bars' captions, in the
    // lowest quarter: no list entry is read there.
    const int faceBand = height * 5 / 8, textBand = height * 3 / 4;
    int faceColumn = -1, faceRows = 0;
    for (int column = 0; column < columns; ++column) {
        const int left = column * width / columns, right = (column + 1) * width / columns;
        int lines = 0, orangeLine = -1, orangeFaceRows = 0, rows = 0, gap = lineGap + 1;
        bool lineOrange = false;
        const auto endLine = [&] {
            if (rows >= lineRows && lineOrange && orangeLine < 0)
                orangeLine = lines;
            lines += rows >= lineRows;
            rows = 0;
            lineOrange = false;
        };
        for (int y = 0; y < textBand; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            int run = 0, longest = 0, longestOrange = 0;
            bool previousOrange = false;
            for (int x = left; x < right; ++x) {
                const bool o = near(row[x], 0xff8c00); // dark orange
                const bool b = !o && near(row[x], 0x6495ed); // cornflower blue
                run = (o || b) ? (run > 0 && previousOrange == o ? run + 1 : 1) : 0;
                previousOrange = o;
                longest = std::max(longest, run);
                longestOrange = o ? std::max(longestOrange, run) : longestOrange;
            }
            orangeFaceRows += longestOrange >= solidRun && y < faceBand;
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
        if (orangeFaceRows > faceRows)
            faceRows = orangeFaceRows, faceColumn = column;
        // Coloured lines of text are list entries (face titles are white); in the mouse view
        // only the centre has a list, the arrows' slanted edges are no text.
        if ((columns != 5 || column == 2) && lines >= 2 && lines > lineCount) {
            lineCount = lines;
            highlightedLine = orangeLine;
            highlightedGroup = column + 1;
        }
    }
    // An open list may hide its own face; it belongs to the highlighted group.
    if (lineCount == 0 && faceColumn >= 0)
        highlightedGroup = faceColumn + 1;
}
