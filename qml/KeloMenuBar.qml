import QtQuick
import QtQuick.Controls
import Qt.labs.platform

// The menus: language, options, view, position, devices, quit and help. Windows and macOS show
// them in the platform's menu bar; elsewhere they open from the strip, a bar inside the window,
// since most X11 desktops have no global menu service.
MenuBar {
    id: menus
    // The window (its options), its scanning logic (the window's kel()), its labels (lang.js's
    // lang()) and the native bridge; the scripts stay the window's, with their state.
    required property var wind
    required property var kel
    required property var tr
    required property var wrap
    // The switch key's entries; the window's voice.js answers them.
    signal chooseKey()
    signal keepKey(bool grab)
    signal clearKey()
    signal chooseButton()
    signal clearButton()
    // The entries the scripts set by name.
    readonly property alias l3: l3
    readonly property alias l4: l4
    readonly property alias l5: l5
    readonly property alias l6: l6
    readonly property alias l12: l12
    readonly property alias l13: l13
    readonly property alias l14: l14
    readonly property alias l15: l15
    readonly property alias l17: l17
    readonly property alias l18: l18
    readonly property alias l19: l19
    readonly property alias l21: l21
    readonly property alias l29: l29
    readonly property alias l33: l33
    readonly property alias l55: l55
    readonly property alias l56: l56
    readonly property alias l57: l57
    readonly property alias l59: l59
    readonly property alias l80: l80
    readonly property alias l81: l81
    readonly property alias l82: l82
    readonly property alias cameraEntry: cameraEntry
    readonly property alias stickEntry: stickEntry
    readonly property alias headsetEntry: headsetEntry
    // The strip, the window's menu bar where the platform shows none.
    readonly property alias strip: menuStrip
    window: wind.nativeMenus ? wind : null

    Menu {
        id: l2
        title: tr(2)
        MenuItemGroup {
            id: languages
        }
        MenuItem { id: l3; text: tr(3); checkable: true; group: languages; onTriggered: kel.lg(1) }
        MenuItem { id: l4; text: tr(4); checkable: true; group: languages; onTriggered: kel.lg(2) }
        MenuItem { id: l5; text: tr(5); checkable: true; group: languages; onTriggered: kel.lg(3) }
        MenuItem { id: l6; text: tr(6); checkable: true; group: languages; onTriggered: kel.lg(4) }
    }
    Menu {
        id: l11
        title: tr(11)
        MenuItem { id: l13; objectName: "l13"; text: tr(13); checkable: true; checked: true; onTriggered: kel.predict() }
        MenuItem { id: l14; text: tr(14); checkable: true; checked: true; onTriggered: kel.bip() }
        MenuItem { id: l15; text: tr(15); checkable: true; onTriggered: wind.increment = checked }
        MenuItem { id: l29; text: tr(29); checkable: true; checked: true; onTriggered: wind.vinput = checked }
        MenuItem { id: l12; objectName: "l12"; text: tr(12); checkable: true; onTriggered: kel.ost() }
        MenuItem { id: l59; objectName: "l59"; text: tr(59); checkable: true; onTriggered: wind.padjump = checked }
        MenuItem { objectName: "l141"; text: tr(141); checkable: true; checked: wind.pointmode; onTriggered: wind.pointmode = checked }
        MenuItem { objectName: "l142"; text: tr(142); checkable: true; checked: wind.accel; onTriggered: wind.accel = checked }
        MenuItem { id: l82; objectName: "l82"; text: tr(82); checkable: true; onTriggered: wind.likely = checked }
        MenuItem { objectName: "l151"; text: tr(151); checkable: true; checked: wind.autocaps; onTriggered: wind.autocaps = checked }
        MenuItem { objectName: "l152"; text: tr(152); checkable: true; checked: wind.smartspace; onTriggered: wind.smartspace = checked }
        Menu {
            id: escapeMenu
            objectName: "l100"
            title: tr(100)
            MenuItemGroup {
                id: escapes
            }
            Instantiator {
                model: 3
                MenuItem {
                    required property int index
                    text: tr(101 + index)
                    checkable: true
                    checked: wind.escmode === index
                    group: escapes
                    onTriggered: kel.escape(index)
                }
                onObjectAdded: (index, object) => escapeMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => escapeMenu.removeItem(object)
            }
        }
        Menu {
            id: l54
            objectName: "l54"
            title: tr(54)
            MenuItemGroup {
                id: rankings
            }
            MenuItem { id: l55; text: tr(55); checkable: true; group: rankings; onTriggered: kel.rank(0) }
            MenuItem { id: l56; text: tr(56); checkable: true; group: rankings; onTriggered: kel.rank(1) }
            MenuItem { id: l57; text: tr(57); checkable: true; group: rankings; onTriggered: kel.rank(2) }
            MenuItem { id: l80; objectName: "l80"; text: tr(80); checkable: true; group: rankings; onTriggered: kel.rank(3) }
            MenuSeparator {}
            MenuItem { id: l81; objectName: "l81"; text: tr(81); checkable: true; onTriggered: kel.pauseLearning(checked) }
            MenuItem { text: tr(58); onTriggered: wrap.forget() }
            MenuItem { objectName: "l165"; text: tr(165); checkable: true; checked: wind.passwordpause; onTriggered: kel.keepPasswords(checked) }
        }
        ChoiceMenu {
            objectName: "l60"
            title: tr(60)
            plainText: tr(63)
            values: [0, 50, 100, 200, 300, 500, 1000]
            value: wind.debounce
            onChosen: v => {
                wind.debounce = v;
                wrap.setDebounce(v);
            }
        }
        ChoiceMenu {
            objectName: "l61"
            title: tr(61)
            plainText: tr(63)
            values: [0, 100, 200, 300, 500, 800, 1200]
            value: wind.holdtime
            onChosen: v => {
                wind.holdtime = v;
                wrap.setHold(v);
            }
        }
        MenuItem { objectName: "l160"; text: tr(160); checkable: true; checked: wind.pressdown; onTriggered: kel.pressDown(checked) }
        ChoiceMenu {
            objectName: "l62"
            title: tr(62)
            plainText: tr(63)
            values: [100, 125, 150, 200, 300]
            plain: 100
            unit: " %"
            value: wind.firstdwell
            onChosen: v => { wind.firstdwell = v; }
        }
        // The pace fitted to the person or only suggested, its bounds, and how the scan moves.
        MenuItem { objectName: "l180"; text: tr(180); checkable: true; checked: wind.fitpace; onTriggered: wind.pace().setFitted(checked) }
        MenuItem { objectName: "l181"; text: tr(181); checkable: true; checked: wind.suggestpace; onTriggered: wind.suggestpace = checked }
        ChoiceMenu {
            objectName: "l184"
            title: tr(184)
            values: [250, 300, 400, 500, 600, 800, 1000]
            plain: -1
            value: wind.pacelow
            onChosen: v => { wind.pacelow = v; }
        }
        ChoiceMenu {
            objectName: "l185"
            title: tr(185)
            values: [1500, 2000, 2500, 3000, 4000, 5000]
            plain: -1
            value: wind.pacehigh
            onChosen: v => { wind.pacehigh = v; }
        }
        Menu {
            id: scanModes
            objectName: "l186"
            title: tr(186)[0]
            MenuItemGroup {
                id: modes
            }
            Instantiator {
                model: 4
                MenuItem {
                    required property int index
                    text: tr(186)[index + 1]
                    checkable: true
                    checked: wind.scanmode === index
                    group: modes
                    onTriggered: wind.scanmode = index
                }
                onObjectAdded: (index, object) => scanModes.insertItem(index, object)
                onObjectRemoved: (index, object) => scanModes.removeItem(object)
            }
        }
        Menu {
            id: scanVoice
            objectName: "l120"
            title: tr(120)
            MenuItemGroup {
                id: scanVoices
            }
            Instantiator {
                model: [63, 121, 122]
                MenuItem {
                    required property int index
                    required property int modelData
                    text: tr(modelData)
                    checkable: true
                    checked: wind.audscan === index
                    group: scanVoices
                    onTriggered: wind.audscan = index
                }
                onObjectAdded: (index, object) => scanVoice.insertItem(index, object)
                onObjectRemoved: (index, object) => scanVoice.removeItem(object)
            }
        }
        MenuItem { objectName: "l123"; text: tr(123); checkable: true; checked: wind.speakword; onTriggered: wind.speakword = checked }
        Menu {
            id: voiceMenu
            objectName: "l124"
            title: tr(124)
            // The engine starts only when someone looks at its voices.
            property var names: []
            onAboutToShow: names = [""].concat(wrap.voices())
            MenuItemGroup {
                id: voices
            }
            Instantiator {
                model: voiceMenu.names
                MenuItem {
                    required property string modelData
                    text: modelData === "" ? tr(127) : modelData
                    checkable: true
                    checked: wind.voice === modelData
                    group: voices
                    onTriggered: {
                        wind.voice = modelData;
                        wrap.setVoice(modelData);
                    }
                }
                onObjectAdded: (index, object) => voiceMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => voiceMenu.removeItem(object)
            }
            ChoiceMenu {
                objectName: "l125"
                title: tr(125)
                values: [-60, -40, -20, 0, 20, 40, 60]
                plain: -1000
                unit: " %"
                value: wind.speechrate
                onChosen: v => {
                    wind.speechrate = v;
                    wrap.setSpeechRate(v);
                }
            }
            ChoiceMenu {
                objectName: "l126"
                title: tr(126)
                values: [20, 40, 60, 80, 100]
                plain: -1000
                unit: " %"
                value: wind.speechvolume
                onChosen: v => {
                    wind.speechvolume = v;
                    wrap.setSpeechVolume(v);
                }
            }
        }
        Menu {
            objectName: "l130"
            title: tr(130) + (wind.switchkey !== "" ? " (" + wind.switchkey + ")" : "")
            MenuItem { text: tr(132); checkable: true; checked: wind.grabkey; onTriggered: menus.keepKey(checked) }
            MenuItem { text: tr(133); enabled: wind.switchkey !== ""; onTriggered: menus.clearKey() }
        }
        MenuItem {
            objectName: "l196"
            text: tr(196) + (wind.stepbutton >= 0 ? " (" + (wind.stepbutton + 1) + ")" : "")
            onTriggered: menus.chooseButton()
        }
        MenuItem { objectName: "l197"; text: tr(197); enabled: wind.stepbutton >= 0; onTriggered: menus.clearButton() }
        // Last, where a helper finds it at the foot of the menu.
        MenuItem { objectName: "l131"; text: tr(131); onTriggered: menus.chooseKey() }
    }
    Menu {
        id: l16
        title: tr(16)
        MenuItemGroup {
            id: views
        }
        MenuItem { id: l17; text: tr(17); checkable: true; checked: true; group: views }
        MenuItem { id: l18; text: tr(18); checkable: true; group: views }
        MenuItem { id: l19; text: tr(19); checkable: true; group: views }
    }
    Menu {
        id: l20
        title: tr(20)
        MenuItem { text: tr(23); onTriggered: kel.position(1) }
        MenuItem { text: tr(24); onTriggered: kel.position(2) }
        MenuItem { text: tr(25); onTriggered: kel.position(3) }
        MenuItem { text: tr(26); onTriggered: kel.position(4) }
        MenuItem { text: tr(27); onTriggered: kel.position(5) }
    }
    Menu {
        id: l21
        objectName: "l21"
        title: tr(21)
        onAboutToShow: kel.showDevices()
        MenuItem {
            id: l33
            property int dex: 0
            property string type: "none"
            text: tr(33)
            checkable: true
            onTriggered: kel.inup(dex)
        }
    }
    // A click on the title only opens it: its entry quits.
    Menu {
        id: l31
        objectName: "l31"
        title: tr(31)
        MenuItem { objectName: "l163"; text: tr(163); onTriggered: kel.quit() }
    }
    Menu {
        id: help
        title: "?"
        // A page shipped with the program, in the language of the labels.
        onAboutToShow: kel.help()
    }

    // A submenu of exclusive values for one option; plain is the value that means "off".
    component ChoiceMenu: Menu {
        id: choiceMenu
        property var values: []
        property int value: 0
        property int plain: 0
        // An inline component does not see this file's properties: the label of plain comes in.
        property string plainText: ""
        property string unit: " ms"
        signal chosen(int v)
        MenuItemGroup {
            id: choices
        }
        Instantiator {
            model: choiceMenu.values
            MenuItem {
                required property int modelData
                text: modelData === choiceMenu.plain ? choiceMenu.plainText : modelData + choiceMenu.unit
                checkable: true
                checked: choiceMenu.value === modelData
                group: choices
                onTriggered: choiceMenu.chosen(modelData)
            }
            onObjectAdded: (index, object) => choiceMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => choiceMenu.removeItem(object)
        }
    }

    Component {
        id: cameraEntry
        MenuItem {
            property int dex
            property int camn
            property string devid
            property string type: "webcam"
            checkable: true
            onTriggered: kel.inup(dex)
        }
    }

    Component {
        id: stickEntry
        MenuItem {
            property int dex
            property int nm
            property string type: "stick"
            checkable: true
            onTriggered: {
                kel.inup(dex);
                wrap.setjoy(nm);
            }
        }
    }

    Component {
        id: headsetEntry
        MenuItem {
            property int dex
            property string type: "headset"
            checkable: true
            text: tr(51)
            onTriggered: kel.inup(dex)
        }
    }

    Rectangle {
        id: menuStrip
        objectName: "menuStrip"
        visible: !wind.nativeMenus
        height: wind.nativeMenus ? 0 : stripRow.implicitHeight
        color: "#e8e8e8"
        Row {
            id: stripRow
            Repeater {
                model: [l2, l11, l16, l20, l21, l31, help]
                Rectangle {
                    required property var modelData
                    width: stripText.implicitWidth + 16
                    height: stripText.implicitHeight + 6
                    color: stripArea.containsMouse ? "#cfd8ea" : "#e8e8e8"
                    Text {
                        id: stripText
                        anchors.centerIn: parent
                        text: modelData.title
                    }
                    // Separators let people and tests find each title's cell.
                    Rectangle {
                        anchors.right: parent.right
                        width: 1
                        height: parent.height
                        color: "#a0a0a0"
                    }
                    MouseArea {
                        id: stripArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: modelData.open(parent)
                    }
                }
            }
        }
    }
}
