import QtQuick

// An entry of a scanned list: dark text on the highlight's colours, which stay readable (the
// colours as text on white are not), the band as wide as the list.
Text {
    id: entry
    required property var main
    property int index: 0
    property Item list
    x: list ? (list.width - width) / 2 : 0
    font.bold: true
    font.pixelSize: main.sizp
    color: "black"
    Rectangle {
        z: -1
        x: entry.list ? -entry.x : 0
        width: entry.list ? entry.list.width : entry.width
        height: entry.height
        color: entry.main.ts1 === entry.index ? "darkorange" : "cornflowerblue"
    }
}
