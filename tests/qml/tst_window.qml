import QtQuick

KeloTestCase {
    name: "Window"

    // A first start sends the defaults; a restart brings back what was changed, the sign-in entry
    // not written again.
    function test_restartRestores() {
        start();
        compare([w.registered, calls(["rank", "setHold", "setKey", "setEscape"])], [true, ["rank(3)", "setHold(0)", "setKey(,0)", "setEscape(0)"]]);
        k.vision(3);
        toggle(child("l12"));
        compare([calls(["osstart", "osstop"]), w.ostart], [["osstart()"], true]);
        k.lg(2);
        // The options, as chosen in the Options menu.
        for (const [menu, n] of [["l54", 2], ["l54", 6], ["l60", 2], ["l61", 3], ["l62", 2], ["l100", 2]])
            child(menu).items[n].triggered();
        toggle(child("l59"));
        compare([child("l61").items[3].text, calls(["rank", "forget", "setHold"]).slice(-3)], ["300 ms", ["rank(2)", "forget()", "setHold(300)"]]);
        stop();
        store.setValue("switchkey", "F8");
        store.setValue("grabkey", true);
        start(true);
        compare([w.startup, child("mous").visible, child("l12").checked], [3, true, true]);
        compare(calls(["osstart", "osstop", "rank", "forget", "setHold", "setKey", "lang", "setEscape"]), ["lang(2)", "rank(2)", "setHold(300)", "setKey(F8,1)", "setEscape(2)"]);
        compare([w.debounce, w.firstdwell, w.padjump, child("l59").checked, child("l61").items[3].checked], [100, 150, false, false, true]);
        compare(["k1", "k5", "k6", "m3"].map(n => child(n).contentItem.text), ["a-f", "Plus", "clavier", "Plus"]);
        toggle(child("l12"));
        compare([calls(["osstart", "osstop"]), w.ostart], [["osstop()"], false]);
    }

    // Whatever the settings file holds, Kelo# comes up usable, in range, labelled and on a screen;
    // a first start speaks the locale's language if it has it.
    function test_storedSettings_data() {
        const shown = () => {
            const s = Qt.application.screens[0];
            return w.x >= s.virtualX && w.y >= s.virtualY && w.x + w.width <= s.virtualX + s.width
                && w.y + w.height <= s.virtualY + s.height;
        };
        const spoken = (code, n) => () => w.lang === code && calls(["lang"])[0] === "lang(" + n + ")";
        return [
            // Out of range or of the wrong kind: the default, not the nearest end.
            { tag: "scan period", set: { s1v: 99999 }, check: () => w.s1v === 1000 && child("popot").interval === 1000 },
            { tag: "no scan period", set: { s1v: -5 }, check: () => w.s1v === 1000 }, { tag: "hold for ever", set: { holdtime: 99999999 }, check: () => w.holdtime === 0 },
            { tag: "pointer step", set: { s2v: 0 }, check: () => w.s2v === 8 }, { tag: "negative device", set: { index: -3 }, check: () => w.index === 0 },
            { tag: "text size", set: { s3v: -5 }, check: () => w.s3v === 1 && w.sizp > 0 }, { tag: "view", set: { startup: 7 }, check: () => w.startup === 1 && child("norm").visible },
            { tag: "language", set: { l: "xx" }, check: () => w.lang === "en" && child("label30").text === "Cursor" },
            { tag: "no size", set: { width: 0 }, check: () => w.width === 556 && w.height === 230 },
            { tag: "screen gone", set: { x: 3000, y: 2000, width: 556, height: 230 }, check: () => shown() && w.width === 556 },
            { tag: "mostly off the left", set: { x: -500, y: 300, width: 556, height: 230 }, check: () => shown() && w.y === 300 },
            { tag: "larger than the screen", set: { x: 0, y: 0, width: 99999, height: 99999 }, check: () => shown() && w.width === 556 && w.height === 230 },
            { tag: "fr_CA", locale: "fr_CA", check: spoken("fr", 2) }, { tag: "hr_HR", locale: "hr_HR", check: spoken("en", 1) },
            { tag: "de_AT", locale: "de_AT", check: spoken("de", 4) }, { tag: "stored language", locale: "fr_CA", set: { l: "es" }, check: spoken("es", 3) },
            { tag: "options out of range", set: { ranking: 7, debounce: 99999, holdtime: "x", firstdwell: 20, escapekey: 9, audscan: 7, blink: 999 },
              check: () => [w.ranking, w.debounce, w.holdtime, w.firstdwell, w.escmode, w.audscan, w.blinkstrength].join() === "3,0,0,100,0,0,1" }
        ];
    }
    function test_storedSettings(data) {
        store.setLocale(data.locale || "en_US");
        start(Object.assign({ registered: true }, data.set));
        store.setLocale("en_US");
        verify(data.check(), JSON.stringify(data.set) + " gave " + [w.x, w.y, w.width, w.height, w.lang]);
        // The switch still works: Escape opens the first group of the keyboard.
        k.vision(2);
        press();
        compare(w.mov, 1);
    }

    function test_layout_data() {
        const rows = [];
        for (const l of ["en", "fr", "es", "de"])
            for (const size of [0.5, 1, 2])
                rows.push({ tag: l + " " + size + "x", l: l, s3v: size });
        return rows;
    }
    // At every text size and in every language, no text, face or mark is cut off, leaves the
    // window or runs into another.
    function test_layout(data) {
        start({ registered: true, width: 556, height: 230, l: data.l, s3v: data.s3v });
        tryVerify(() => w.contentItem.parent.width === 556, 2000);
        wrap.predictions = ["internationalisation", "extraordinarily", "représentation", "Geschwindigkeit", "probablemente"];
        for (const v of [1, 2, 3]) {
            k.vision(v);
            if (v === 2) {
                w.plan = 1;
                choose(1, 0);
                w.plan = 3;
                choose(1, 3);
            }
            wait(0);
            const texts = [], boxes = [], root = w.contentItem.parent;
            const painted = t => {
                const dx = t.horizontalAlignment === Text.AlignHCenter ? (t.width - t.contentWidth) / 2 : t.horizontalAlignment === Text.AlignRight ? t.width - t.contentWidth : 0;
                const dy = t.verticalAlignment === Text.AlignVCenter ? (t.height - t.contentHeight) / 2 : t.verticalAlignment === Text.AlignBottom ? t.height - t.contentHeight : 0;
                const at = t.mapToItem(root, dx, dy);
                return { name: t.text, x: at.x, y: at.y, w: t.contentWidth, h: t.contentHeight };
            };
            const walk = item => {
                for (let n = 0; n < item.children.length; ++n) {
                    const c = item.children[n];
                    if (!c.visible || c.opacity === 0)
                        continue;
                    if (c.objectName && /^(k[1-6]|m3|p1)$/.test(c.objectName)) {
                        const at = c.mapToItem(root, 0, 0);
                        boxes.push({ name: c.objectName, x: at.x, y: at.y, w: c.width, h: c.height, face: painted(c.contentItem ? c.contentItem : c) });
                        continue;
                    }
                    if (c.truncated !== undefined && c.text !== "")
                        texts.push(painted(c));
                    walk(c);
                }
            };
            walk(root);
            const inside = (r, o) => r.x >= o.x - 0.5 && r.y >= o.y - 0.5 && r.x + r.w <= o.x + o.w + 0.5 && r.y + r.h <= o.y + o.h + 0.5;
            const meet = (r, o) => r.x < o.x + o.w - 0.5 && o.x < r.x + r.w - 0.5 && r.y < o.y + o.h - 0.5 && o.y < r.y + r.h - 0.5;
            const all = texts.concat(boxes), whole = { x: 0, y: 0, w: root.width, h: root.height };
            for (const b of boxes)
                verify(!b.face.w || inside(b.face, b), "view " + v + ": the face of " + b.name + " is cut: " + JSON.stringify(b));
            for (let i = 0; i < all.length; ++i) {
                verify(inside(all[i], whole), "view " + v + ": " + all[i].name + " leaves the window: " + JSON.stringify(all[i]));
                for (let j = i + 1; j < all.length; ++j)
                    verify(!meet(all[i], all[j]), "view " + v + ": " + all[i].name + " runs into " + all[j].name);
            }
            verify(texts.length >= (v === 2 ? 6 : v === 1 ? 7 : 0), "view " + v + " shows too few texts: " + texts.length);
        }
    }

    // Where the platform cannot type or point the window says so, and the switch still works.
    function test_problemShown() {
        start({}, wrap => wrap.problemText = "no virtual keyboard. Fix: sudo modprobe uinput");
        const banner = child("problem");
        verify(banner.visible && banner.height > 10 && banner.height < w.height / 2);
        compare(banner.children[0].text, "no virtual keyboard. Fix: sudo modprobe uinput");
        stop();
        start();
        verify(!child("problem").visible);
    }
}
