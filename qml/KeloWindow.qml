import QtQuick
import QtQuick.Window
import QtQuick.Controls

// The window's state: what it shows and does, most of it kept as the user's settings (main.qml
// stores it); main.qml gives it its parts and scripts.
ApplicationWindow {
    // Why Kelo# cannot type or point here, and the command that fixes it; empty when it can.
    property string problem: ""
    // A command that would make Kelo# work fully here; said in place of the problem.
    property string setup: ""
    // Something can be typed here; Escape and the switch key are read whatever has the focus.
    property bool typable: true
    property bool keysRead: true
    property int sw: Screen.desktopAvailableWidth
    property int sh: Screen.desktopAvailableHeight
    property bool registered: false
    property string lang: {
        const code = Qt.locale().name.substring(0, 2);
        return ["en", "fr", "de", "es"].indexOf(code) >= 0 ? code : "en";
    }
    property int control: 1
    property int cam: 0
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
    // Learning paused (orders 2 and 3), password fields kept private (nothing learned or said),
    // and the group of the likeliest letters with its letters.
    property bool learnpause: false
    property bool passwordpause: true
    property bool likely: true
    property string likelyText: ""
    property int debounce: 0
    property int holdtime: 0
    property int firstdwell: 100
    property string switchkey: ""
    property bool grabkey: false
    // The pad button that steps in two-switch scanning (-1: none).
    property int stepbutton: -1
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
    // The pace (pace.js): fitted within the helper's bounds (ms) or suggested (0: nothing yet), the
    // estimates; scan mode 0 timed, 1 held, 2 fast then slowly back, 3 a second switch steps.
    property bool fitpace: false
    property bool suggestpace: false
    property int suggested: 0
    property int pacelow: 400
    property int pacehigh: 3000
    property string pacestats: ""
    property int scanmode: 0
    property int slowback: 0 // overscan's slow steps back to come; 0 in the fast pass
    // KeyB's list asks whether to close Kelo#, until the outer scan goes on.
    property bool quitAsk: false
}
