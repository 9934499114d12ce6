import QtQuick.Controls.Basic as Basic
import @KELO_SETTINGS_IMPORT@
import QtQuick
import QtQuick.Window
import QtQuick.Controls
import QtMultimedia
import Qt.labs.platform
import Wrapper
import Spareweb
import PointSweep
import PointOverlay
import "kelo.js" as Kel
import "keys.js" as Keys
import "pointing.js" as Pointing
import "devices.js" as Devices
import "lang.js" as Lang
import "voice.js" as Voice

ApplicationWindow {
    id: wind
    objectName: "wind"
    title: "Kelo#"
    // The user types into another application: the window never takes the keyboard focus; its
    // controls and menus still work by pointer. Only macOS's global menu bar needs it active.
    flags: (os === "linux" ? Qt.Tool : Qt.Window) | Qt.WindowStaysOnTopHint | (os === "osx" ? 0 : Qt.WindowDoesNotAcceptFocus)
    visible: false

    // Why Kelo# cannot type or point here, and the command that fixes it; empty when it can.
    property string problem: ""
    property int sw: Screen.desktopAvailableWidth
    property int sh: Screen.desktopAvailableHeight
    property bool registered: false
    property string lang: {
        const code = Qt.locale().name.substring(0, 2);
        return ["en", "fr", "de", "es"].indexOf(code) >= 0 ? code : "en";
    }
    property int control: 1
    property int cam: 0
    // The cameras the system lists (tests put their own list here): empty until something
    // needs them, since listing them starts the media back end's device monitor.
    property var cameras: cameraList.item ? cameraList.item.videoInputs : []
    // The chosen switch source by kind and name, kept while its device is away, and the one
    // in use now.
    property string source: ""
    property string active: ""
    property int startup: 1
    property bool ostart: false
    property bool word: true
    property bool sound: true
    property bool increment: false
    property var selection: [0, 0]
    property bool vinput: true
    property int s1v: 1000
    property int s2v: 8
    property real s3v: 1
    property var itext
    // Qt reports fonts by point size on most desktops; 96 logical dpi turns that into pixels.
    property real sizp: 1.3 * (font.pixelSize > 0 ? font.pixelSize : font.pointSize * 96 / 72) * s3v
    property int tm: 1
    property int tk: 1
    property int ts1: 0
    property int ts2: 0
    property int mov: 0
    property int plan: 1
    property int index: 0
    property int stick: 0
    property int bm: 0
    property int take: 0
    property string lword: ""
    property var letr: ["", "", "", "", ""]
    property string os: Qt.platform.os
    // Options beyond the first settings; each default keeps the plain behaviour. Prediction
    // order (0 alphabetical, 1 frequency, 2 frequency and the user's words), the highlight sent
    // to the predictions after a letter, the switch filters (ms, ms, percent of a period) and
    // a switch key of the user's choice (an X keysym name) with its grab.
    property int ranking: 0
    property bool padjump: false
    // Learning paused (orders 2 and 3), and the group of the likeliest letters with its letters.
    property bool learnpause: false
    property bool likely: false
    property string likelyText: ""
    onLwordChanged: Kel.likelyUpdate()
    onLikelyChanged: Kel.likelyUpdate()
    property int debounce: 0
    property int holdtime: 0
    property int firstdwell: 100
    property string switchkey: ""
    property bool grabkey: false
    // What Escape is (0 a switch no application sees, 1 a switch applications see too, 2 no
    // switch), the modifier armed for the next key (as the injector counts them), and the word
    // a chosen prediction typed last, with its space.
    property int escmode: 0
    property int armed: 0
    property string lastword: ""
    // The poll's clock in ms; negative: the system's. Tests set their own.
    property real clock: -1
    // The voice: auditory scanning (0 off, 1 each highlight said, 2 a short sound for each),
    // each finished word said, the voice by name (empty: the engine's default), its rate (-100
    // to 100) and volume (0 to 100); and a message shown for a moment.
    property int audscan: 0
    property bool speakword: false
    property string voice: ""
    property int speechrate: 0
    property int speechvolume: 100
    property string notice: ""
    // Point mode: 0 off, 1 sweeping, 2 click list shown; the option that makes it what the mouse
    // view opens with, and the arrows' accelerating step.
    property int pointing: 0
    property bool pointmode: false
    property bool accel: false

    // Windows and macOS show the platform menu bar; elsewhere the same menus open from a bar
    // inside the window, since most X11 desktops have no global menu service.
    readonly property bool nativeMenus: os === "windows" || os === "osx"

    onPlanChanged: {
        wrap.plan(plan);
        Qt.callLater(Voice.lit);
    }
    onTs1Changed: {
        Kel.record();
        Qt.callLater(Voice.lit);
    }
    onTkChanged: Qt.callLater(Voice.lit)
    onTmChanged: Qt.callLater(Voice.lit)

    Settings {
        property alias registered: wind.registered
    }

    Timer {
        id: devices
        objectName: "devices"
        property int sdl: 0
        property int sdl2: 0
        property int cdl: 0
        property int cdl2: 0
        interval: 32
        repeat: true
        running: true
        onTriggered: Kel.poll()
    }

    MouseArea {
        property point clickPos: Qt.point(1, 1)
        anchors.fill: parent
        onPressed: mouse => { clickPos = Qt.point(mouse.x, mouse.y); }
        onPositionChanged: mouse => {
            wind.x += mouse.x - clickPos.x;
            wind.y += mouse.y - clickPos.y;
        }
    }

    PointSweep {
        id: sweep
        objectName: "sweep"
    }

    // Point mode's frames: the band and line move on the same clock as the poll.
    Timer {
        id: tpoint
        objectName: "tpoint"
        interval: 16
        repeat: true
        running: pointing === 1
        onTriggered: sweep.advance(Kel.now())
    }

    // Point mode's overlay over every screen: drawn only where its parts are, never focused,
    // and every click goes through it to the application beneath.
    PointOverlay {
        id: overlay
        objectName: "overlay"
        active: pointing > 0
        area: sweep.desktop
        parts: pointing > 0 ? Pointing.overlayParts() : []
        entries: Keys.content(Lang.lang(143))
        listShown: pointing === 2
        lit: pointing === 2 ? ts1 : -1
        point: sweep.point
        textSize: sizp
    }

    // Once the whole window is complete, its stored settings included.
    Timer {
        id: tstart
        objectName: "tstart"
        interval: 0
        onTriggered: Kel.init()
    }

    Timer {
        id: tmouse
        objectName: "tmouse"
        onRunningChanged: {
            if (running)
                interval = l15.checked ? 20 : s2v;
        }
        onTriggered: Pointing.move()
    }

    Timer {
        id: combot
        objectName: "combot"
        property int ts3: 0
        // The first entry of a list stays lit longer when the user asked for that.
        property bool first: false
        interval: first ? norm.s1.value * firstdwell / 100 : norm.s1.value
        repeat: true
        onTriggered: {
            first = false;
            Kel.innerTick();
        }
        onRunningChanged: {
            if (running) {
                first = true;
                ts1 = 0;
                ts3 = 0;
                popot.stop();
            }
        }
    }

    Timer {
        id: popot
        objectName: "popot"
        // As combot: the group lit when the scan (re)starts, after a press, may stay longer.
        property bool first: false
        interval: first ? norm.s1.value * firstdwell / 100 : norm.s1.value
        repeat: true
        running: true
        onTriggered: {
            first = false;
            Kel.outerTick();
        }
        onRunningChanged: {
            if (running) {
                first = true;
                ts1 = -1;
                combot.stop();
            } else {
                combot.restart();
            }
        }
    }

    // Entries of the scanned lists; recorded centrally when ts1 moves (see Kel.record).
    Component {
        id: entryComponent
        Text {
            property int index: 0
            property Item list
            x: list ? (list.width - width) / 2 : 0
            font.bold: true
            font.pixelSize: sizp
            color: ts1 === index ? "darkorange" : "cornflowerblue"
        }
    }

    Rectangle {
        objectName: "problem"
        visible: problem !== ""
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
            text: problem
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
        }
    }

    menuBar: Rectangle {
        id: menuStrip
        objectName: "menuStrip"
        visible: !nativeMenus
        height: nativeMenus ? 0 : stripRow.implicitHeight
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

    Rectangle {
        id: win
        objectName: "win"
        anchors.fill: parent

        MouseArea {
            id: webcam
            objectName: "webcam"
            width: win.width * 0.3
            height: win.height * 0.3
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            onClicked: wincam.visible = !wincam.visible
            Spareweb {
                id: spare
                anchors.fill: parent
            }
        }

        Window {
            id: wincam
            objectName: "wincam"
            width: 320
            height: 240
            visible: false
            title: "Kelo#"
            Wrapper {
                id: wrap
                objectName: "wrap"
                anchors.fill: parent
                // A switch key's press is taken at once rather than at the next tick.
                onKeyMoved: Kel.poll()
                Component.onCompleted: {
                    tstart.start();
                    loadSound("qrc:/click.wav");
                    vid.connect(image => spare.refresh(image));
                }
            }
        }

        Rectangle {
            id: input
            objectName: "input"
            radius: 4
            width: win.width / 4
            height: win.height / 4
            x: (win.width - width) / 2
            y: win.height - height
            visible: vinput
            color: "cornflowerblue"
            // Lit by each accepted press (Kel.wav), fading back within a second.
            SequentialAnimation {
                id: flash
                objectName: "flash"
                PropertyAction { target: input; property: "color"; value: "darkorange" }
                ColorAnimation { target: input; property: "color"; to: "cornflowerblue"; duration: 1000 }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: {
                    if (norm.visible)
                        norm.reset();
                }
            }
        }

        Basic.ProgressBar {
            id: winkBar
            objectName: "winkBar"
            x: win.width * 0.05
            y: win.height * 0.9
            width: win.width * 0.25
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
                    width: 0
                    height: parent.height
                    radius: 4
                    color: "lightslategray"
                }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: mouse => { level.width = mouse.x; }
            }
        }

        ProgressBar {
            id: signalBar
            objectName: "signalBar"
            x: win.width * 0.7
            y: win.height * 0.9
            width: win.width * 0.25
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
            text: Lang.lang(52)
            visible: winkBar.visible
            font.bold: true
            font.pixelSize: sizp
            fontSizeMode: Text.Fit
            minimumPixelSize: 6
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            x: winkBar.x
            width: winkBar.width
            height: win.height * 0.1
            y: win.height * 0.8 - height / 2
        }

        Text {
            objectName: "signalCaption"
            text: Lang.lang(53)
            visible: signalBar.visible
            font.bold: true
            font.pixelSize: sizp
            fontSizeMode: Text.Fit
            minimumPixelSize: 6
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            x: signalBar.x
            width: signalBar.width
            height: win.height * 0.1
            y: win.height * 0.8 - height / 2
        }

        SettingsView {
            id: norm
            anchors.fill: parent
            visible: l17.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            indicatorHeight: input.height
        }

        KeyboardView {
            id: keyb
            anchors.fill: parent
            visible: l18.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            predictions: l13.checked
        }

        MouseView {
            id: mous
            anchors.fill: parent
            visible: l19.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            moving: tmouse.running && tmouse.repeat
        }
    }

    // A message for a moment over everything: the switch key being chosen, a new scan period.
    Rectangle {
        objectName: "notice"
        visible: notice !== ""
        anchors.centerIn: parent
        width: parent.width * 0.9
        height: noticeText.implicitHeight + 12
        radius: 4
        color: "crimson"
        Text {
            id: noticeText
            anchors.centerIn: parent
            width: parent.width - 12
            text: notice
            color: "white"
            font.bold: true
            font.pixelSize: sizp
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
        }
    }

    Timer {
        id: noticeTimer
        interval: 4000
        onTriggered: notice = ""
    }

    Loader {
        id: cameraList
        objectName: "cameraList"
        active: false
        sourceComponent: MediaDevices {}
    }

    // A submenu of exclusive values for one option; plain is the value that means "off".
    component ChoiceMenu: Menu {
        id: choiceMenu
        property var values: []
        property int value: 0
        property int plain: 0
        property string unit: " ms"
        signal chosen(int v)
        MenuItemGroup {
            id: choices
        }
        Instantiator {
            model: choiceMenu.values
            MenuItem {
                required property int modelData
                text: modelData === choiceMenu.plain ? Lang.lang(63) : modelData + choiceMenu.unit
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
            onTriggered: Devices.inup(dex)
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
                Devices.inup(dex);
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
            text: Lang.lang(51)
            onTriggered: Devices.inup(dex)
        }
    }

    MenuBar {
        window: nativeMenus ? wind : null

        Menu {
            id: l2
            title: Lang.lang(2)
            MenuItemGroup {
                id: languages
            }
            MenuItem { id: l3; text: Lang.lang(3); checkable: true; group: languages; onTriggered: Kel.lg(1) }
            MenuItem { id: l4; text: Lang.lang(4); checkable: true; group: languages; onTriggered: Kel.lg(2) }
            MenuItem { id: l5; text: Lang.lang(5); checkable: true; group: languages; onTriggered: Kel.lg(3) }
            MenuItem { id: l6; text: Lang.lang(6); checkable: true; group: languages; onTriggered: Kel.lg(4) }
        }
        Menu {
            id: l11
            title: Lang.lang(11)
            MenuItem { id: l13; objectName: "l13"; text: Lang.lang(13); checkable: true; checked: true; onTriggered: Kel.predict() }
            MenuItem { id: l14; text: Lang.lang(14); checkable: true; checked: true; onTriggered: Kel.bip() }
            MenuItem { id: l15; text: Lang.lang(15); checkable: true; onTriggered: increment = checked }
            MenuItem { id: l29; text: Lang.lang(29); checkable: true; checked: true; onTriggered: vinput = checked }
            MenuItem { id: l12; objectName: "l12"; text: Lang.lang(12); checkable: true; onTriggered: Kel.ost() }
            MenuItem { id: l59; objectName: "l59"; text: Lang.lang(59); checkable: true; onTriggered: padjump = checked }
            MenuItem { objectName: "l141"; text: Lang.lang(141); checkable: true; checked: pointmode; onTriggered: pointmode = checked }
            MenuItem { objectName: "l142"; text: Lang.lang(142); checkable: true; checked: accel; onTriggered: accel = checked }
            MenuItem { id: l82; objectName: "l82"; text: Lang.lang(82); checkable: true; onTriggered: likely = checked }
            Menu {
                id: escapeMenu
                objectName: "l100"
                title: Lang.lang(100)
                MenuItemGroup {
                    id: escapes
                }
                Instantiator {
                    model: 3
                    MenuItem {
                        required property int index
                        text: Lang.lang(101 + index)
                        checkable: true
                        checked: escmode === index
                        group: escapes
                        onTriggered: Kel.escape(index)
                    }
                    onObjectAdded: (index, object) => escapeMenu.insertItem(index, object)
                    onObjectRemoved: (index, object) => escapeMenu.removeItem(object)
                }
            }
            Menu {
                id: l54
                objectName: "l54"
                title: Lang.lang(54)
                MenuItemGroup {
                    id: rankings
                }
                MenuItem { id: l55; text: Lang.lang(55); checkable: true; group: rankings; onTriggered: Kel.rank(0) }
                MenuItem { id: l56; text: Lang.lang(56); checkable: true; group: rankings; onTriggered: Kel.rank(1) }
                MenuItem { id: l57; text: Lang.lang(57); checkable: true; group: rankings; onTriggered: Kel.rank(2) }
                MenuItem { id: l80; objectName: "l80"; text: Lang.lang(80); checkable: true; group: rankings; onTriggered: Kel.rank(3) }
                MenuSeparator {}
                MenuItem { id: l81; objectName: "l81"; text: Lang.lang(81); checkable: true; onTriggered: Kel.pauseLearning(checked) }
                MenuItem { text: Lang.lang(58); onTriggered: wrap.forget() }
            }
            ChoiceMenu {
                objectName: "l60"
                title: Lang.lang(60)
                values: [0, 50, 100, 200, 300, 500, 1000]
                value: debounce
                onChosen: v => { debounce = v; }
            }
            ChoiceMenu {
                objectName: "l61"
                title: Lang.lang(61)
                values: [0, 100, 200, 300, 500, 800, 1200]
                value: holdtime
                onChosen: v => {
                    holdtime = v;
                    wrap.setHold(v);
                }
            }
            ChoiceMenu {
                objectName: "l62"
                title: Lang.lang(62)
                values: [100, 125, 150, 200, 300]
                plain: 100
                unit: " %"
                value: firstdwell
                onChosen: v => { firstdwell = v; }
            }
            Menu {
                id: scanVoice
                objectName: "l120"
                title: Lang.lang(120)
                MenuItemGroup {
                    id: scanVoices
                }
                Instantiator {
                    model: [63, 121, 122]
                    MenuItem {
                        required property int index
                        required property int modelData
                        text: Lang.lang(modelData)
                        checkable: true
                        checked: audscan === index
                        group: scanVoices
                        onTriggered: audscan = index
                    }
                    onObjectAdded: (index, object) => scanVoice.insertItem(index, object)
                    onObjectRemoved: (index, object) => scanVoice.removeItem(object)
                }
            }
            MenuItem { objectName: "l123"; text: Lang.lang(123); checkable: true; checked: speakword; onTriggered: speakword = checked }
            Menu {
                id: voiceMenu
                objectName: "l124"
                title: Lang.lang(124)
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
                        text: modelData === "" ? Lang.lang(127) : modelData
                        checkable: true
                        checked: voice === modelData
                        group: voices
                        onTriggered: {
                            voice = modelData;
                            wrap.setVoice(modelData);
                        }
                    }
                    onObjectAdded: (index, object) => voiceMenu.insertItem(index, object)
                    onObjectRemoved: (index, object) => voiceMenu.removeItem(object)
                }
                ChoiceMenu {
                    objectName: "l125"
                    title: Lang.lang(125)
                    values: [-60, -40, -20, 0, 20, 40, 60]
                    plain: -1000
                    unit: " %"
                    value: speechrate
                    onChosen: v => {
                        speechrate = v;
                        wrap.setSpeechRate(v);
                    }
                }
                ChoiceMenu {
                    objectName: "l126"
                    title: Lang.lang(126)
                    values: [20, 40, 60, 80, 100]
                    plain: -1000
                    unit: " %"
                    value: speechvolume
                    onChosen: v => {
                        speechvolume = v;
                        wrap.setSpeechVolume(v);
                    }
                }
            }
            Menu {
                objectName: "l130"
                title: Lang.lang(130) + (switchkey !== "" ? " (" + switchkey + ")" : "")
                MenuItem { text: Lang.lang(132); checkable: true; checked: grabkey; onTriggered: Voice.keepKey(checked) }
                MenuItem { text: Lang.lang(133); enabled: switchkey !== ""; onTriggered: Voice.clearKey() }
            }
            // Last, where a helper finds it at the foot of the menu.
            MenuItem { objectName: "l131"; text: Lang.lang(131); onTriggered: Voice.chooseKey() }
        }
        Menu {
            id: l16
            title: Lang.lang(16)
            MenuItemGroup {
                id: views
            }
            MenuItem { id: l17; text: Lang.lang(17); checkable: true; checked: true; group: views }
            MenuItem { id: l18; text: Lang.lang(18); checkable: true; group: views }
            MenuItem { id: l19; text: Lang.lang(19); checkable: true; group: views }
        }
        Menu {
            id: l20
            title: Lang.lang(20)
            MenuItem { text: Lang.lang(23); onTriggered: Kel.position(1) }
            MenuItem { text: Lang.lang(24); onTriggered: Kel.position(2) }
            MenuItem { text: Lang.lang(25); onTriggered: Kel.position(3) }
            MenuItem { text: Lang.lang(26); onTriggered: Kel.position(4) }
            MenuItem { text: Lang.lang(27); onTriggered: Kel.position(5) }
        }
        Menu {
            id: l21
            objectName: "l21"
            title: Lang.lang(21)
            onAboutToShow: Devices.showDevices()
            MenuItem {
                id: l33
                property int dex: 0
                property string type: "none"
                text: Lang.lang(33)
                checkable: true
                onTriggered: Devices.inup(dex)
            }
        }
        Menu {
            id: l31
            title: Lang.lang(31)
            onAboutToShow: {
                wind.close();
                Qt.quit();
            }
        }
        Menu {
            id: help
            title: "?"
            // A page shipped with the program, in the language of the labels.
            onAboutToShow: {
                const page = wrap.helpPage(wind.lang);
                if (page.toString() !== "")
                    Qt.openUrlExternally(page);
            }
        }
    }

    Settings {
        property alias x: wind.x
        property alias y: wind.y
        property alias width: wind.width
        property alias height: wind.height
        property alias wx: wincam.x
        property alias wy: wincam.y
        property alias wwidth: wincam.width
        property alias wheight: wincam.height
        property alias l: wind.lang
        property alias control: wind.control
        property alias startup: wind.startup
        property alias ostart: wind.ostart
        property alias word: wind.word
        property alias sound: wind.sound
        property alias increment: wind.increment
        property alias vinput: wind.vinput
        property alias s1v: wind.s1v
        property alias s2v: wind.s2v
        property alias s3v: wind.s3v
        property alias index: wind.index
        property alias source: wind.source
        property alias level: level.width
        property alias ranking: wind.ranking
        property alias padjump: wind.padjump
        property alias learnpause: wind.learnpause
        property alias likely: wind.likely
        property alias debounce: wind.debounce
        property alias holdtime: wind.holdtime
        property alias firstdwell: wind.firstdwell
        property alias switchkey: wind.switchkey
        property alias grabkey: wind.grabkey
        property alias pointmode: wind.pointmode
        property alias accel: wind.accel
        property alias escapekey: wind.escmode
        property alias audscan: wind.audscan
        property alias speakword: wind.speakword
        property alias voice: wind.voice
        property alias speechrate: wind.speechrate
        property alias speechvolume: wind.speechvolume
    }

    Component.onCompleted: {
        // A stored size no one could see or use is treated as a first start.
        if (!registered || !(width >= 100 && height >= 60)) {
            width = 556;
            height = 230;
            x = (sw - width) / 2;
            y = (sh - height) / 2;
            registered = true;
        }
    }

    // The scanning logic, which lives in the scripts imported above, for the views, the menus
    // and the tests: a script imported by another file would be a second copy with its own state.
    function kel() {
        return Object.assign({}, Kel, Keys, Pointing, Devices);
    }
}
