// Where the window stands and how large it is: a first start's place, a place no screen shows
// brought back, the text size's growth, the Position menu's corners. Imported by main.qml as
// "Place"; names resolve in the window's scope.

// A stored place that no screen shows (a monitor gone, a smaller screen, a window left mostly
// off the edge) is brought back whole onto the screen under the window's centre, else the
// first: a one-switch user cannot drag it back.
function onScreen() {
    const screens = Qt.application.screens;
    if (screens.length === 0)
        return;
    const cx = wind.x + wind.width / 2, cy = wind.y + wind.height / 2;
    let s = screens[0];
    for (let i = 0; i < screens.length; ++i) {
        const t = screens[i];
        if (cx >= t.virtualX && cx < t.virtualX + t.width && cy >= t.virtualY && cy < t.virtualY + t.height) {
            s = t;
            break;
        }
    }
    wind.width = Math.min(wind.width, s.width);
    wind.height = Math.min(wind.height, s.height);
    wind.x = Math.max(s.virtualX, Math.min(wind.x, s.virtualX + s.width - wind.width));
    wind.y = Math.max(s.virtualY, Math.min(wind.y, s.virtualY + s.height - wind.height));
}

// A first start: centred on the foot of the desktop's free area, above a bottom panel, where it
// hides least of the application being written in; as large as the text size asks.
function firstPlace() {
    wind.width = Math.min(wind.sw, Math.round(556 * wind.s3v));
    wind.height = Math.min(wind.sh, Math.round(230 * wind.s3v));
    wind.x = (wind.sw - wind.width) / 2;
    wind.y = wind.sh - wind.height;
    wind.registered = true;
}

// The text size the window's size was last made for; 0 until init.
var sizedFor = 0;

// The window's size, as init shows it, is the one for the text size now.
function sized() {
    sizedFor = wind.s3v;
}

// A new text size scales the window with it, and makes it tall enough for the longest list to
// show whole. The foot or top edge it was on, and its centre line, stay where they were.
function textSized() {
    if (!wind.visible || !(sizedFor > 0) || wind.s3v === sizedFor) {
        sizedFor = wind.visible ? wind.s3v : sizedFor;
        return;
    }
    const ratio = wind.s3v / sizedFor;
    sizedFor = wind.s3v;
    const bottom = wind.y + wind.height, atFoot = bottom >= wind.sh - 4, centre = wind.x + wind.width / 2;
    wind.width = Math.round(wind.width * ratio);
    wind.height = Math.max(Math.round(wind.height * ratio), listsHeight());
    wind.x = Math.round(centre - wind.width / 2);
    if (atFoot)
        wind.y = bottom - wind.height;
    onScreen();
}

// The height the longest scanned list needs at the present text size, with its way back.
function listsHeight() {
    const line = entryComponent.createObject(null, { text: "Ág" });
    const height = line.implicitHeight;
    line.destroy();
    let longest = Pointing.centreList().length;
    for (let n = 35; n <= 48; ++n)
        longest = Math.max(longest, Lang.lang(n).length);
    // The menu strip and the popup's frame besides the entries.
    return Math.ceil(longest * height + menus.strip.height + 16);
}

// Once the change has settled; before the window shows, init places it.
function screensChanged() {
    if (wind.visible)
        Qt.callLater(onScreen);
}

// The Position menu's places; with none given, the next corner from where the window is.
function position(p) {
    const sw = wind.sw, sh = wind.sh;
    if (p === undefined) {
        p = 2;
        if (wind.x < sw / 2 && wind.y > sh / 2)
            p = 1;
        if (wind.x > sw / 2) {
            p = 5;
            if (wind.y > sh / 2)
                p = 4;
        }
    }
    const w = wind.width, h = wind.height;
    const places = {
        1: [0, 25],
        2: [sw - w, 25],
        3: [(sw - w) / 2, (sh - h) / 2],
        4: [0, sh - h],
        5: [sw - w, sh - h]
    };
    const place = places[p];
    if (!place)
        return;
    wind.x = place[0];
    wind.y = place[1];
}
