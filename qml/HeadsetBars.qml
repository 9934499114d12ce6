import QtQuick.Controls.Basic as Basic
import QtQuick
import QtQuick.Controls

// The headset's bars, shown while it is the switch: the blink's strength with the threshold the
// user sets by clicking it, and the signal's quality.
Item {
    id: bars
    objectName: "headsetBars"
    // The window (its text size) and its labels (lang.js's lang()).
    required property var wind
    required property var tr
    readonly property alias winkBar: winkBar
    readonly property alias signalBar: signalBar
    readonly property alias bbar: bbar
    readonly property alias level: level
    // The blink strength (1 to 255) a blink must pass to count, shown as a mark on its bar; a
    // click on the bar chooses the strength under it.
    property int threshold: 1
    signal thresholdChosen(int strength)

    Basic.ProgressBar {
        id: winkBar
        objectName: "winkBar"
        x: bars.width * 0.05
        y: bars.height * 0.9
        width: bars.width * 0.25
        from: 1
        to: 255
        visible: false
        contentItem: Item {
            Rectangle {
                id: bbar
                width: winkBar.visualPosition * winkBar.width
                height: parent.height
                radius: 4
                color: "cornflowerblue"
            }
            Rectangle {
                id: level
                objectName: "level"
                width: (bars.threshold - 1) / 254 * winkBar.width
                height: parent.height
                radius: 4
                color: "lightslategray"
            }
        }
        MouseArea {
            anchors.fill: parent
            onClicked: mouse => bars.thresholdChosen(Math.floor(1 + 254 * Math.max(0, mouse.x) / winkBar.width))
        }
    }

    ProgressBar {
        id: signalBar
        objectName: "signalBar"
        x: bars.width * 0.7
        y: bars.height * 0.9
        width: bars.width * 0.25
        from: 1
        to: 200
        visible: false
        contentItem: Item {
            Rectangle {
                width: signalBar.visualPosition * signalBar.width
                height: parent.height
                radius: 4
                color: "cornflowerblue"
            }
        }
    }

    Text {
        objectName: "winkCaption"
        text: tr(52)
        visible: winkBar.visible
        font.bold: true
        font.pixelSize: wind.sizp
        fontSizeMode: Text.Fit
        minimumPixelSize: 6
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        x: winkBar.x
        width: winkBar.width
        height: bars.height * 0.1
        y: bars.height * 0.8 - height / 2
    }

    Text {
        objectName: "signalCaption"
        text: tr(53)
        visible: signalBar.visible
        font.bold: true
        font.pixelSize: wind.sizp
        fontSizeMode: Text.Fit
        minimumPixelSize: 6
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        x: signalBar.x
        width: signalBar.width
        height: bars.height * 0.1
        y: bars.height * 0.8 - height / 2
    }
}
