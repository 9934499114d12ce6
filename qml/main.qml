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
import "place.js" as Place
import "keys.js" as Keys
import "pointing.js" as Pointing
import "devices.js" as Devices
import "lang.js" as Lang
import "voice.js" as Voice
import "pace.js" as Pace

KeloWindow {
    id: wind
    objectName: "wind"
    title: "Kelo#"
    // The user types into another application: the window never takes the keyboard focus; its
    // controls and menus still work by pointer. Only macOS's global menu bar needs it active.
    flags: (os === "linux" ? Qt.Tool : Qt.Window) | Qt.WindowStaysOnTopHint | (os === "osx" ? 0 : Qt.WindowDoesNotAcceptFocus)
    visible: false

    // The cameras the system lists (tests put their own list here): empty until something
    // needs them, since listing them starts the media back end's device monitor.
    property var cameras: cameraList.item ? cameraList.item.videoInputs : []
    onLwordChanged: Kel.likelyUpdate()
    onLetrChanged: Kel.likelyUpdate()
    onLikelyChanged: Kel.likelyUpdate()

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
    onSwChanged: Place.screensChanged()
    onShChanged: Place.screensChanged()
    Connections {
        target: Qt.application
        function onScreensChanged() { Place.screensChanged(); }
    }
    onTmChanged: Qt.callLater(Voice.lit)
    // A larger text size makes a larger window, once the size settles.
    onS3vChanged: Qt.callLater(Place.textSized)

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
        onTriggered: sweep.advance(Pace.sweepTime(Kel.now()))
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
        interval: (first ? norm.s1.value * firstdwell / 100 : norm.s1.value) / (scanmode === 2 && slowback === 0 ? 2 : 1)
        repeat: true
        onTriggered: {
            first = false;
            Kel.innerTick();
        }
        onRunningChanged: {
            if (running) {
                first = true;
                Kel.restarted();
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
        interval: (first ? norm.s1.value * firstdwell / 100 : norm.s1.value) / (scanmode === 2 && slowback === 0 ? 2 : 1)
        repeat: true
        running: true
        onTriggered: {
            first = false;
            Kel.outerTick();
        }
        onRunningChanged: {
            if (running) {
                first = true;
                Kel.restarted();
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
        ListEntry { main: wind }
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
            // Lit by each accepted press (Kel.wav), fading back within a second in five steps: a
            // smooth fade had the window redrawn, and the desktop composited, at every frame of
            // that second, for every press.
            property int glow: 0
            color: Qt.tint("cornflowerblue", Qt.rgba(1, 140 / 255, 0, glow / 5))
            function light() {
                glow = 5;
                flash.restart();
            }
            Timer {
                id: flash
                objectName: "flash"
                interval: 200
                repeat: true
                onTriggered: {
                    input.glow -= 1;
                    if (input.glow <= 0)
                        stop();
                }
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

    // Why nothing can be typed here, a notice for a moment, where the help page is.
    Messages {
        id: messages
        anchors.fill: parent
        wind: wind
        tr: Lang.lang
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
        onChooseButton: Voice.chooseKey(true)
        onClearButton: Voice.clearButton()
    }

    // Every key of the per-user store, by the name earlier versions gave it. A stored value outside
    // its range, or of the wrong kind, leaves the default.
    SettingsStore {
        id: kept
        objectName: "kept"
        ranges: ({ s1v: [250, 5000], s2v: [1, 20], s3v: [0.5, 2], startup: [1, 3], index: [0, 99],
                   ranking: [0, 3], debounce: [0, 5000], holdtime: [0, 5000], firstdwell: [100, 500],
                   escapekey: [0, 2], blink: [0, 255], audscan: [0, 2], speechrate: [-100, 100],
                   speechvolume: [0, 100], wwidth: [50, 4000], wheight: [50, 4000],
                   pacelow: [250, 5000], pacehigh: [250, 5000], scanmode: [0, 3], stepbutton: [-1, 255] })
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
        property alias passwordpause: wind.passwordpause
        property alias likely: wind.likely
        property alias debounce: wind.debounce
        property alias holdtime: wind.holdtime
        property alias firstdwell: wind.firstdwell
        property alias switchkey: wind.switchkey
        property alias grabkey: wind.grabkey
        property alias stepbutton: wind.stepbutton
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
        property alias fitpace: wind.fitpace
        property alias suggestpace: wind.suggestpace
        property alias pacelow: wind.pacelow
        property alias pacehigh: wind.pacehigh
        property alias pacestats: wind.pacestats
        property alias scanmode: wind.scanmode
    }

    // A stored size no one could see or use, or larger than the desktop, is a first start's.
    Component.onCompleted: {
        if (!registered || !(width >= 100 && width <= sw && height >= 60 && height <= sh))
            Place.firstPlace();
    }

    // The scanning logic, which lives in the scripts imported above, for the views, the menus
    // and the tests: a script imported by another file would be a second copy with its own state.
    function kel() {
        return Object.assign({}, Kel, Place, Keys, Pointing, Devices);
    }

    function pace() {
        return Pace;
    }

}
