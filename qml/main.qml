import QtQuick
import QtQuick.Window
import QtQuick.Controls
import QtMultimedia
import Wrapper
import Spareweb
import PointSweep
import PointOverlay
import SettingsStore
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
    // Options beyond the first settings. Prediction order (0 alphabetical, 1 frequency, 2
    // frequency and the user's words, 3 by context) and the highlight sent to the predictions
    // after a letter: a first start gets the pair a new user types fastest with, a stored
    // choice stays. The switch filters (ms, ms, percent of a period) and a switch key of the
    // user's choice (an X keysym name) with its grab keep the plain behaviour by default.
    property int ranking: 3
    property bool padjump: true
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
    // A press taken when its switch goes down (else, as before, Escape and the switch key at
    // their release); the headset's threshold as a blink strength (1 to 255, 0: not chosen yet),
    // and as the mark's width in pixels that earlier versions stored.
    property bool pressdown: true
    property int blinkstrength: 0
    property real level: 0
    property int armed: 0
    property string lastword: ""
    // Typing aids, each an option: a capital at a sentence start and for "I", and a sign chosen
    // after a predicted word taking that word's space. What Kelo# knows of the text before the
    // caret ("\n" at the start of a text, "\u0001" where a click may have moved it), the one
    // thing Undo takes back, and the digits layer opened for one sign.
    property bool autocaps: true
    property bool smartspace: true
    property string tail: "\n"
    property var undo: null
    property bool oneshot: false
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
    // KeyB's list asks whether to close Kelo#, until the outer scan goes on.
    property bool quitAsk: false

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
    // A screen made smaller or unplugged: the window comes back whole onto one, at its own size.
    onSwChanged: Kel.screensChanged()
    onShChanged: Kel.screensChanged()
    Connections {
        target: Qt.application
        function onScreensChanged() { Kel.screensChanged(); }
    }
    onTmChanged: Qt.callLater(Voice.lit)

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
                interval = menus.l15.checked ? 20 : s2v;
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
                // The outer scan again: no list asks any more.
                quitAsk = false;
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

    menuBar: menus.strip

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

        HeadsetBars {
            id: headset
            anchors.fill: parent
            wind: wind
            tr: Lang.lang
            threshold: wind.blinkstrength
            onThresholdChosen: strength => Kel.blinkThreshold(strength)
        }

        // The views, one at a time as the View menu has it. Each gets the window, the scripts'
        // functions (kel()) and the labels; the scripts reach their parts through these ids.
        SettingsView {
            id: norm
            anchors.fill: parent
            visible: menus.l17.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            indicatorHeight: input.height
        }

        KeyboardView {
            id: keyb
            anchors.fill: parent
            visible: menus.l18.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            predictions: menus.l13.checked
        }

        MouseView {
            id: mous
            anchors.fill: parent
            visible: menus.l19.checked
            wind: wind
            kel: wind.kel()
            tr: Lang.lang
            moving: tmouse.running && tmouse.repeat
        }
    }

    // Why nothing can be typed here, and a message for a moment over everything.
    Messages {
        anchors.fill: parent
        wind: wind
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

    KeloMenuBar {
        id: menus
        wind: wind
        kel: wind.kel()
        tr: Lang.lang
        wrap: wrap
        onChooseKey: Voice.chooseKey()
        onKeepKey: grab => Voice.keepKey(grab)
        onClearKey: Voice.clearKey()
    }

    // Every key of the per-user store, by the name earlier versions gave it. A stored value outside
    // its range, or of the wrong kind, leaves the default.
    SettingsStore {
        id: kept
        objectName: "kept"
        ranges: ({ s1v: [250, 5000], s2v: [1, 20], s3v: [0.5, 2], startup: [1, 3], index: [0, 99],
                   ranking: [0, 3], debounce: [0, 5000], holdtime: [0, 5000], firstdwell: [100, 500],
                   escapekey: [0, 2], blink: [0, 255], audscan: [0, 2], speechrate: [-100, 100],
                   speechvolume: [0, 100], wwidth: [50, 4000], wheight: [50, 4000] })
        onNotSaved: (reason, path) => Voice.tell(Lang.lang(161).replace("%1", Lang.lang(162)[reason].replace("%1", path)))
        property alias registered: wind.registered
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
        property alias level: wind.level
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
        property alias pressdown: wind.pressdown
        property alias blink: wind.blinkstrength
        property alias audscan: wind.audscan
        property alias speakword: wind.speakword
        property alias voice: wind.voice
        property alias speechrate: wind.speechrate
        property alias speechvolume: wind.speechvolume
        property alias autocaps: wind.autocaps
        property alias smartspace: wind.smartspace
    }

    Component.onCompleted: {
        // A stored size no one could see or use, or larger than the desktop, is a first start's.
        if (!registered || !(width >= 100 && width <= sw && height >= 60 && height <= sh)) {
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
