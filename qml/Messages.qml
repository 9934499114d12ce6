import QtQuick

// The window's messages: along its foot, why nothing can be typed or pointed here and the fix;
// over everything for a moment, a notice (the switch key being chosen, a new scan period).
Item {
    required property var wind

    Rectangle {
        objectName: "problem"
        visible: wind.problem !== ""
        z: 10
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: problemText.implicitHeight + 8
        color: "#fff3c0"
        Text {
            id: problemText
            x: 4
            y: 4
            width: parent.width - 8
            text: wind.problem
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
        }
    }

    // A message for a moment over everything: the switch key being chosen, a new scan period.
    Rectangle {
        objectName: "notice"
        visible: wind.notice !== ""
        anchors.centerIn: parent
        width: parent.width * 0.9
        height: noticeText.implicitHeight + 12
        radius: 4
        color: "crimson"
        Text {
            id: noticeText
            anchors.centerIn: parent
            width: parent.width - 12
            text: wind.notice
            color: "white"
            font.bold: true
            font.pixelSize: wind.sizp
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
        }
    }
}
