// The Devices menu: the switch sources found, the one chosen, and finding it again as devices come
// and go. Imported by main.qml as "Devices"; names resolve in the window's scope.

// The chosen source is kept by kind and name ("stick:Pad", "webcam:/dev/video0", "headset",
// "none"), so it is found again whatever position it comes at; an older store that holds only
// a position reads as "#" and that position until its entry shows up.
function sourceKey(entry) {
    if (entry.type === "webcam")
        return "webcam:" + entry.devid;
    if (entry.type === "stick")
        return "stick:" + entry.text;
    return entry.type;
}

// The kind of device the user's choice waits for, or "" when it is in use or none was made.
function pendingKind() {
    if (wind.source === "" || wind.source === wind.active)
        return "";
    if (wind.source.charAt(0) === "#")
        return wind.source === "#0" ? "" : "any";
    return wind.source.split(":")[0];
}

// The position of the entry that the user's choice names, or -1 while its device is absent.
function chosenPosition() {
    const entries = menus.l21.items;
    if (wind.source === "")
        wind.source = wind.index >= 0 && wind.index < entries.length ? sourceKey(entries[wind.index]) : "#" + wind.index;
    if (wind.source.charAt(0) === "#") {
        const at = Number(wind.source.substring(1));
        if (!(at >= 0 && at < entries.length))
            return -1;
        wind.source = sourceKey(entries[at]);
        return at;
    }
    // Of two pads with one name, the one at the stored position first.
    if (wind.index < entries.length && sourceKey(entries[wind.index]) === wind.source)
        return wind.index;
    for (let i = 0; i < entries.length; ++i) {
        if (sourceKey(entries[i]) === wind.source)
            return i;
    }
    return -1;
}

function hasHeadsetEntry() {
    const entries = menus.l21.items;
    return entries.length > 0 && entries[entries.length - 1].type === "headset";
}

// Listing the cameras starts the media back end's device monitor, so it waits till the menu
// opens, unless the stored choice may be a camera or a position that cameras shift.
function camerasNeeded() {
    const s = wind.source;
    if (s === "")
        return wind.index !== 0;
    if (s.charAt(0) === "#")
        return s !== "#0";
    if (s.startsWith("webcam:"))
        return true;
    // Of two pads with one name the stored position tells which.
    let named = 0;
    for (let a = 0; s.startsWith("stick:") && a < wrap.joynb(); ++a)
        named += "stick:" + wrap.joynm(a) === s ? 1 : 0;
    return named > 1;
}

function showDevices() {
    cameraList.active = true;
    devup();
}

function devup() {
    if (!cameraList.active && camerasNeeded())
        cameraList.active = true;
    while (menus.l21.items.length > 1) {
        const entry = menus.l21.items[1];
        menus.l21.removeItem(entry);
        entry.destroy();
    }
    const cameras = wind.cameras;
    wind.cam = cameras.length;
    for (let i = 0; i < wind.cam; ++i) {
        const description = cameras[i].description;
        const text = description !== "" ? description : "camera " + i;
        menus.l21.addItem(menus.cameraEntry.createObject(menus.l21, {
            dex: menus.l21.items.length,
            camn: i,
            text: text,
            devid: cameras[i].id ? String(cameras[i].id) : text
        }));
    }
    for (let a = 0; a < wrap.joynb(); ++a)
        menus.l21.addItem(menus.stickEntry.createObject(menus.l21, { dex: menus.l21.items.length, nm: a, text: wrap.joynm(a) }));
    if (wrap.headnb())
        menus.l21.addItem(menus.headsetEntry.createObject(menus.l21, { dex: menus.l21.items.length }));
    devices.sdl2 = wrap.joynb();
    devices.cdl2 = wind.cam;

    // While the chosen device is absent the Escape key alone is the switch, and the choice
    // is kept for when it comes back.
    const at = chosenPosition();
    const target = at >= 0 ? menus.l21.items[at] : menus.l33;
    target.checked = true;
    if (sourceKey(target) !== wind.active) {
        const source = wind.source;
        target.triggered();
        wind.source = source;
    } else {
        wind.index = target.dex;
        if (target.type === "stick")
            wrap.setjoy(target.nm);
    }
}

function inup(m) {
    const entry = menus.l21.items[m];
    if (!entry || !entry.checked)
        return;
    Kel.wav();
    wind.index = m;
    wind.source = sourceKey(entry);
    wind.active = wind.source;
    const t = entry.type;
    // Blinks collected before this choice are not presses of the new source: coff drops them.
    wrap.coff();
    webcam.visible = t === "webcam";
    if (t === "webcam")
        wrap.con(entry.camn);
    headset.winkBar.visible = t === "headset";
    headset.signalBar.visible = t === "headset";
    for (let i = 0; i < menus.l21.items.length; ++i) {
        if (i !== m)
            menus.l21.items[i].checked = false;
    }
    menus.l21.close();
}

function inname() {
    return menus.l21.items[wind.index].text;
}
