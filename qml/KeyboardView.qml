import QtQuick
import QtQuick.Controls

// The keyboard view: six groups of keys (and the likeliest letters when asked for), the word's
// predictions above them and the modifier armed for the next key.
Rectangle {
    id: keyb
    objectName: "keyb"
    color: "transparent"
    // The window (the scan's state, the word and its predictions), its scanning logic (the
    // window's kel()) and its labels (lang.js's lang()); the scripts stay the window's.
    required property var wind
    required property var kel
    required property var tr
    // Whether predictions are on (the Options menu).
    property bool predictions: true
    readonly property alias keyGroups: keyGroups
    readonly property alias k0: k0
    readonly property alias p1: p1
    onVisibleChanged: {
        if (visible)
            kel.viewShown(2);
    }

    Repeater {
        id: keyGroups
        model: 6
        ComboBox {
            id: combo
            required property int index
            readonly property int group: index + 1
            readonly property var labels: kel.groupLabels(group, wind.plan)
            // Width of the widest entry of the list on show (Keys.mod).
            property real widest: 0
            objectName: "k" + group
            x: index * keyb.width / 6 + keyb.width / 6 * 0.05
            y: keyb.height / 2 - height
            width: keyb.width / 6 * (group === 6 ? 0.92 : 0.9)
            indicator: null
            // A face too long for its group at a large text size shrinks to fit, whole.
            contentItem: Text {
                text: kel.title(combo.labels)
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
                color: wind.tk === combo.group ? "darkorange" : "cornflowerblue"
            }
            // Lists as wide as their widest entry, inside the window; one taller than
            // the window scrolls with the highlight (Kel.record).
            popup.width: Math.min(wind.width, Math.max(width, widest + 8))
            popup.x: (width - popup.width) / 2
            popup.height: Math.min(popup.contentItem.implicitHeight, wind.height - 12)
            popup.leftMargin: 0
            popup.rightMargin: 0
            popup.onOpened: kel.openList(combo, combo.labels)
        }
    }

    // The likeliest letters, first in the scan (position 8), below the first group.
    ComboBox {
        id: k0
        objectName: "k8"
        readonly property var labels: [wind.likelyText].concat(wind.likelyText.split(""))
        property real widest: 0
        visible: wind.likely && wind.plan === 1 && wind.likelyText !== ""
        x: keyb.width / 6 * 0.05
        y: keyb.height / 2 + height * 0.2
        width: keyb.width / 6 * 0.9
        indicator: null
        contentItem: Text {
            text: wind.likelyText
            color: "black"
            font.bold: true
            font.pixelSize: wind.sizp
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            radius: 4
            color: wind.tk === 8 ? "darkorange" : "cornflowerblue"
        }
        popup.width: Math.min(wind.width, Math.max(width, widest + 8))
        popup.height: Math.min(popup.contentItem.implicitHeight, wind.height - 12)
        popup.onOpened: kel.openList(k0, k0.labels)
    }

    Rectangle {
        id: p1
        objectName: "p1"
        // count makes the binding see the groups once the Repeater has made them.
        readonly property Item k1: keyGroups.count > 0 ? keyGroups.itemAt(0) : null
        width: wind.sizp
        height: wind.sizp
        radius: 4
        x: k1 ? k1.x + k1.width / 2 - width / 2 : 0
        y: k1 ? k1.y / 2 - height / 2 : 0
        visible: keyb.predictions && (wind.lword !== "" || wind.letr[0] !== "")
        // Lit as the group, and as the way back while its predictions are scanned.
        color: wind.tk === 7 && (wind.ts1 < 0 || kel.entryAt(wind.ts1, 5) === 0) ? "darkorange" : "cornflowerblue"
        onVisibleChanged: {
            if (!visible)
                kel.padHidden();
        }
    }

    // Each prediction keeps to the width of the group under it, shrinking a long word
    // rather than running into its neighbour; shown with the capitals it will be typed with.
    Repeater {
        model: 5
        Text {
            required property int index
            readonly property Item under: keyGroups.count > index + 1 ? keyGroups.itemAt(index + 1) : null
            objectName: "p" + (index + 2)
            text: kel.cased(wind.lword, wind.letr[index])
            visible: keyb.predictions
            font.bold: true
            font.pixelSize: wind.sizp
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 6
            horizontalAlignment: Text.AlignHCenter
            width: under ? under.width : 0
            x: under ? under.x : 0
            y: under ? under.y / 2 - height / 2 : 0
            color: "black"
            // Dark text on the highlight's colours, which as text on white are hard to read.
            Rectangle {
                z: -1
                visible: parent.text !== ""
                anchors.fill: parent
                radius: 4
                color: wind.tk === 7 && wind.ts1 >= 0 && kel.entryAt(wind.ts1, 5) === parent.index + 1 ? "darkorange" : "cornflowerblue"
            }
        }
    }

    // The modifier waiting for the next key, named as its entry is, until it is used or
    // chosen again.
    Rectangle {
        objectName: "armedMark"
        readonly property int mode: wind.armed >= 5 ? 5 : wind.armed
        visible: mode !== 0
        radius: 4
        color: "crimson"
        x: keyb.width / 6 * 0.05
        y: keyb.height / 2 + 6
        width: armedText.width + 12
        height: armedText.height + 4
        Text {
            id: armedText
            anchors.centerIn: parent
            color: "white"
            font.bold: true
            font.pixelSize: wind.sizp
            text: {
                const special = tr(43), more = tr(44);
                return { 1: special[4], 3: special[6], 4: more[2], 5: more[3] }[parent.mode] || "";
            }
        }
    }
}
