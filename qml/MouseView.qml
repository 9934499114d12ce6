import QtQuick
import QtQuick.Controls
import QtQuick.Shapes

// The mouse view: four arrows that move the pointer and, in their middle, the list of clicks.
Rectangle {
    id: mous
    objectName: "mous"
    color: "transparent"
    // The window (the scan's state), its scanning logic (the window's kel()) and its labels
    // (lang.js's lang()); the scripts stay the window's.
    required property var wind
    required property var kel
    required property var tr
    // The pointer moving on its own, as an arrow left it.
    property bool moving: false
    readonly property alias m3: m3
    onVisibleChanged: {
        if (visible)
            kel.viewShown(3);
    }

    Repeater {
        // Position in the scan, slot in the row, and the triangle.
        model: [
            { pos: 1, slot: 0, pts: [[0, 0.5], [1, 1 / 6], [1, 5 / 6]] },
            { pos: 2, slot: 1, pts: [[0.5, 0], [1 / 6, 1], [5 / 6, 1]] },
            { pos: 4, slot: 3, pts: [[1 / 6, 0], [5 / 6, 0], [0.5, 1]] },
            { pos: 5, slot: 4, pts: [[0, 1 / 6], [0, 5 / 6], [1, 0.5]] }
        ]
        Shape {
            id: arrow
            required property var modelData
            objectName: "m" + modelData.pos
            width: mous.width / 5 * 0.8
            height: mous.height / 2
            x: modelData.slot * mous.width / 5 + mous.width / 5 * 0.1
            y: mous.height / 3 - height / 2
            // The direction running stays marked while the pointer moves.
            readonly property bool running: mous.moving && kel.arrowCodes[modelData.pos] === wind.bm
            ShapePath {
                strokeWidth: arrow.running ? 6 : 0
                strokeColor: arrow.running ? "midnightblue" : "transparent"
                fillColor: wind.tm === arrow.modelData.pos && !wind.pointing ? "darkorange" : "cornflowerblue"
                startX: 0
                startY: 0
                PathLine { x: arrow.modelData.pts[0][0] * arrow.width; y: arrow.modelData.pts[0][1] * arrow.height }
                PathLine { x: arrow.modelData.pts[1][0] * arrow.width; y: arrow.modelData.pts[1][1] * arrow.height }
                PathLine { x: arrow.modelData.pts[2][0] * arrow.width; y: arrow.modelData.pts[2][1] * arrow.height }
                PathLine { x: arrow.modelData.pts[0][0] * arrow.width; y: arrow.modelData.pts[0][1] * arrow.height }
                PathLine { x: 0; y: 0 }
            }
            TapHandler {
                onTapped: kel.mouse(kel.arrowCodes[arrow.modelData.pos])
            }
        }
    }

    ComboBox {
        id: m3
        objectName: "m3"
        property real widest: 0
        width: mous.width / 5 * 0.8
        x: mous.width / 2 - width / 2
        y: mous.height / 2 - height
        indicator: null
        contentItem: Text {
            text: kel.title(tr(50))
            color: "black"
            font.bold: true
            font.pixelSize: wind.sizp
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 6
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 4
            color: wind.tm === 3 && !wind.pointing ? "darkorange" : "cornflowerblue"
        }
        popup.width: Math.min(wind.width, Math.max(width, widest + 8))
        popup.x: (width - popup.width) / 2
        popup.height: Math.min(popup.contentItem.implicitHeight, wind.height - 12)
        popup.leftMargin: 0
        popup.rightMargin: 0
        popup.onOpened: kel.openList(m3, kel.centreList())
    }
}
