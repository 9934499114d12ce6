import QtQuick
import "lang.js" as Lang

// The window's messages: along its foot, why nothing can be typed or pointed here, or why Escape
// is no switch, and the fix (or the one command that makes Kelo# work fully here, in the
// window's language); on a line of its own at the foot, under every group, entry and arrow (over
// the press indicator's lower half), a notice for a moment (the switch key being chosen, a new
// scan period); and where the help page is when no browser opens it.
Item {
    id: messages
    objectName: "messages"
    required property var wind
    // The notice's line.
    readonly property real lineHeight: Math.ceil(wind.sizp * 1.5)
    // Where the help page is and the command that opens it, until clicked away.
    property string helpNote: ""
    // Opens a page in the browser; false when none could be started. Tests put their own here.
    property var opener: url => Qt.openUrlExternally(url)
    required property var tr

    Rectangle {
        objectName: "problem"
        visible: problemText.text !== ""
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
            text: [wind.setup !== "" ? Lang.lang(195).arg(wind.setup) : wind.problem, wind.keysRead ? "" : tr(106)].filter(t => t !== "").join("\n")
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
        }
    }

    Rectangle {
        objectName: "helpNote"
        visible: messages.helpNote !== ""
        z: 11
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: helpText.implicitHeight + 8
        color: "#fff3c0"
        // Selectable, so the helper can copy the command.
        TextEdit {
            id: helpText
            x: 4
            y: 4
            width: parent.width - 8
            text: messages.helpNote
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            font.pixelSize: wind.sizp * 0.8
        }
        TapHandler {
            onDoubleTapped: messages.helpNote = ""
        }
    }

    Rectangle {
        objectName: "notice"
        visible: wind.notice !== ""
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: messages.lineHeight
        color: "crimson"
        Text {
            id: noticeText
            objectName: "noticeText"
            anchors.fill: parent
            anchors.leftMargin: 6
            anchors.rightMargin: 6
            text: wind.notice
            color: "white"
            font.bold: true
            font.pixelSize: wind.sizp
            fontSizeMode: Text.Fit
            minimumPixelSize: 8
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    // The pace the measurements suggest, for a helper to take or leave: one line along the
    // window's top, clear of the groups and the predictions.
    Rectangle {
        objectName: "suggestion"
        visible: wind.suggestpace && wind.suggested > 0 && wind.suggested !== wind.s1v
        anchors.left: parent.left
        anchors.top: parent.top
        width: suggestionText.implicitWidth + take.implicitWidth + 16
        height: Math.max(suggestionText.implicitHeight, take.implicitHeight) + 4
        color: "#fff3c0"
        Text {
            id: suggestionText
            x: 4
            anchors.verticalCenter: parent.verticalCenter
            text: tr(187).replace("%1", wind.suggested)
        }
        Text {
            id: take
            objectName: "takeSuggestion"
            x: suggestionText.implicitWidth + 12
            anchors.verticalCenter: parent.verticalCenter
            text: tr(188)
            font.underline: true
            color: "blue"
            MouseArea {
                anchors.fill: parent
                onClicked: wind.pace().takeSuggestion()
            }
        }
    }
}
