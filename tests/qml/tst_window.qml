import QtQuick

KeloTestCase {
    name: "Window"

    // A first start sends the defaults; a restart brings back what was changed, the sign-in entry
    // not written again.
    function test_restartRestores() {
        start();
        compare([w.registered, w.likely, calls(["rank", "setHold", "setKey", "setEscape"])], [true, true, ["rank(3)", "setHold(0)", "setKey(,0)", "setEscape(0)"]]);
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
        compare(["k1", "k5", "k6", "m3"].map(n => child(n).contentItem.text), ["a-f", "Plus", "clavier", "Clic"]);
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
        const blink = n => () => w.blinkstrength === n && calls(["setBlinkThreshold"]).join() === "setBlinkThreshold(" + n + ")";
        return [
            // Out of range or of the wrong kind: the default, not the nearest end.
            { tag: "scan period", set: { s1v: 99999 }, check: () => w.s1v === 1000 && child("popot").interval === 1000 },
            { tag: "no scan period", set: { s1v: -5 }, check: () => w.s1v === 1000 }, { tag: "hold for ever", set: { holdtime: 99999999 }, check: () => w.holdtime === 0 },
            { tag: "pointer step", set: { s2v: 0 }, check: () => w.s2v === 8 }, { tag: "negative device", set: { index: -3 }, check: () => w.index === 0 },
            { tag: "text size", set: { s3v: -5 }, check: () => w.s3v === 1 && w.sizp > 0 }, { tag: "view", set: { startup: 7 }, check: () => w.startup === 1 && child("norm").visible },
            { tag: "language", set: { l: "xx" }, check: () => w.lang === "en" && child("label30").text === "Cursor" },
            { tag: "no size", set: { width: 0 }, check: () => w.width === 556 && w.height === 230 },
            // A first start at the foot of the free area, centred, over as little as it can.
            { tag: "first start", set: { registered: false }, check: () => w.y + w.height === w.sh && Math.abs(2 * w.x + w.width - w.sw) <= 1 },
            { tag: "screen gone", set: { x: 3000, y: 2000, width: 556, height: 230 }, check: () => shown() && w.width === 556 },
            { tag: "mostly off the left", set: { x: -500, y: 300, width: 556, height: 230 }, check: () => shown() && w.y === 300 },
            { tag: "larger than the screen", set: { x: 0, y: 0, width: 99999, height: 99999 }, check: () => shown() && w.width === 556 && w.height === 230 },
            { tag: "fr_CA", locale: "fr_CA", check: spoken("fr", 2) }, { tag: "hr_HR", locale: "hr_HR", check: spoken("en", 1) },
            { tag: "de_AT", locale: "de_AT", check: spoken("de", 4) }, { tag: "stored language", locale: "fr_CA", set: { l: "es" }, check: spoken("es", 3) },
            // A blink mark stored by earlier versions, in pixels, reads as the strength it stood for at
            // the window's width stored beside it.
            { tag: "no blink mark", set: { height: 300 }, check: blink(1) }, { tag: "mark half the bar", set: { level: 75, width: 600, height: 300 }, check: blink(128) },
            { tag: "the same mark, a window twice as wide", set: { level: 75, width: 1200, height: 300 }, check: blink(64) },
            { tag: "mark past the bar", set: { level: 900, width: 800, height: 300 }, check: blink(255) }, { tag: "stored strength", set: { level: 100, width: 800, height: 300, blink: 30 }, check: blink(30) },
            { tag: "options out of range", set: { ranking: 7, debounce: 99999, holdtime: "x", firstdwell: 20, escapekey: 9, audscan: 7, blink: 999, stepbutton: 300 },
              check: () => [w.ranking, w.debounce, w.holdtime, w.firstdwell, w.escmode, w.audscan, w.blinkstrength, w.stepbutton].join() === "3,0,0,100,0,0,1,-1" }
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

    // Where the platform cannot type or point, or read Escape, the window says so in its language
    // (the strip at its foot, the settings view's line); where a command makes Kelo# work fully
    // (its GNOME extension turned on) it says that, following a change of language. A letter chosen
    // where nothing types makes no word and no predictions; the switch still works.
    function test_problemShown_data() {
        const fix = "no virtual keyboard. Fix: sudo modprobe uinput", on = "gnome-extensions enable k@x";
        return [
            { tag: "nothing wrong", l: "fr", hint: "Appuyez sur le contacteur (Échap)" },
            { tag: "nothing types", problem: fix, typing: false, shown: fix, then: fix, hint: "Press the switch (Escape)", word: "" },
            { tag: "Escape unread, in German", keysRead: false, l: "de", shown: "Escape ist hier kein Taster: Kelo# darf die Tastaturen nicht lesen",
              hint: "Escape kann auf diesem Desktop nicht gelesen werden" },
            { tag: "extension off", setup: on, l: "de", shown: "Führen Sie " + on + " im Terminal aus", then: "lancez " + on + " dans" },
            { tag: "extension off, nothing types", problem: fix, typing: false, setup: on, l: "es", shown: "ejecute " + on + " en un", then: "lancez " + on, word: "" }
        ].map(r => Object.assign({ problem: "", setup: "", typing: true, keysRead: true, l: "en", shown: "", word: "a" }, r));
    }
    function test_problemShown(data) {
        view(2, { l: data.l, autocaps: false, padjump: false }, wrap => {
            [wrap.problemText, wrap.setupText, wrap.typing, wrap.keysRead] = [data.problem, data.setup, data.typing, data.keysRead];
        });
        const banner = child("problem"), text = () => banner.children[0].text;
        compare(banner.visible, data.shown !== "");
        verify(text().includes(data.shown) && (!banner.visible || (banner.height > 10 && banner.height < w.height / 2)), text());
        verify(!data.hint || child("hint").text.startsWith(data.hint), child("hint").text);
        choose(1, 0);
        compare([w.lword, calls(["t9"]).length], [data.word, data.word.length]);
        k.lg(2);
        verify(!data.then || text().includes(data.then), text());
        compare(child("l21").title, "Appareils"); // the strip relabelled at once
    }

    // Text against what is behind it, as the window draws it: 4.5:1 or more (WCAG 2.1) in every
    // state. The text's colour is the pixel farthest from the commonest, its background.
    function test_contrast_data() {
        const face = n => () => child(n).contentItem, entry = e => () => child("k1").model.get(e), words = () => { [w.lword, w.letr] = ["a", ["aaa", "abb", "", "", ""]]; };
        return [{ tag: "group lit", view: 2, item: face("k1") }, { tag: "group unlit", view: 2, item: face("k2") }, { tag: "group disabled", view: 2, set: () => { child("keyb").enabled = false; }, item: face("k3") },
                { tag: "entry lit", view: 2, open: true, item: entry(0) }, { tag: "entry unlit", view: 2, open: true, item: entry(1) },
                { tag: "prediction lit", view: 2, set: () => { words(); [w.tk, w.ts1] = [7, 1]; }, item: () => child("p2") }, { tag: "prediction unlit", view: 2, set: words, item: () => child("p3") },
                { tag: "modifier armed", view: 2, set: () => { w.armed = 1; }, item: () => child("armedMark").children[0] }, { tag: "centre unlit", view: 3, item: face("m3") },
                { tag: "centre lit", view: 3, set: () => { w.tm = 3; }, item: face("m3") }, { tag: "notice", view: 2, set: () => { w.notice = "Scan period 1050 ms"; }, item: () => child("noticeText") },
                { tag: "slider caption", view: 1, item: () => child("caption30") }, { tag: "hint", view: 1, item: () => child("hint") }];
    }
    function test_contrast(data) {
        view(data.view, { registered: true, width: 556, height: 230 });
        if (data.open) {
            goTo(1);
            press();
            tryVerify(() => child("k1").popup.opened && !isPolishScheduled(child("k1").popup.contentItem));
        }
        if (data.set)
            data.set();
        const item = data.item(), root = w.contentItem.parent;
        verify(item.visible && item.width > 4 && item.height > 4, "nothing shown");
        waitForRendering(root);
        // The whole window: grabImage crops an item by its place in its parent, not in the window.
        const image = grabImage(root), at = item.mapToItem(root, 0, 0), counts = {}, lums = {};
        for (let y = Math.ceil(at.y); y < at.y + item.height - 1; ++y)
            for (let x = Math.ceil(at.x); x < at.x + item.width - 1; ++x) {
                const c = image.pixel(x, y);
                counts[c] = (counts[c] || 0) + 1;
                lums[c] = [c.r, c.g, c.b].map(v => v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)).reduce((l, v, i) => l + v * [0.2126, 0.7152, 0.0722][i], 0);
            }
        const back = Object.keys(counts).reduce((a, b) => counts[a] >= counts[b] ? a : b), lb = lums[back];
        const ratio = Math.max(...Object.keys(lums).map(c => (Math.max(lums[c], lb) + 0.05) / (Math.min(lums[c], lb) + 0.05)));
        verify(ratio >= 4.5, item + " on " + back + ": " + ratio.toFixed(2) + ":1");
    }

    // A larger text size makes a larger window, still at the foot, where the longest list shows
    // whole; a smaller one a smaller window.
    function test_textSize_data() { return [{ tag: "twice", size: 2, grows: true }, { tag: "a quarter more", size: 1.25, grows: true }, { tag: "half", size: 0.5 }]; }
    function test_textSize(data) {
        view(2, { registered: false });
        child("s3").value = data.size;
        tryVerify(() => (w.width > 556) === !!data.grows && (w.height > 230) === !!data.grows && w.height !== 230 && w.y + w.height === w.sh, 2000, "the window kept its size or left the foot");
        goTo(5);
        press();
        const list = child("k5").popup;
        tryVerify(() => list.opened && list.contentItem.implicitHeight > 0);
        verify(!data.grows || list.height >= list.contentItem.implicitHeight, "the list scrolls: " + [list.height, list.contentItem.implicitHeight]);
    }

    // Notices on their own line, under every group and the lit entry, and said when the voice is on.
    function test_notice_data() { return [{ tag: "keyboard, voice on", view: 2, audscan: 1, said: true }, { tag: "mouse, voice off", view: 3, audscan: 0 }]; }
    function test_notice(data) {
        view(data.view, { audscan: data.audscan, sound: false });
        data.view === 2 ? choose(6, 7) : (w.notice = "Scan period 1050 ms");
        const notice = child("notice"), top = notice.mapToItem(w.contentItem, 0, 0).y;
        for (const item of (data.view === 2 ? ["k1", "k6", "p1", "armedMark"] : ["m1", "m3", "m5"]).map(child))
            verify(item.mapToItem(w.contentItem, 0, item.height).y <= top, item.objectName + " is under the notice");
        compare([notice.visible, calls(["say"]).indexOf("say(" + w.notice + ")") >= 0], [true, !!data.said]);
    }

    // "?": the page in the browser, or where none starts, the page's place and the command.
    function test_help_data() { return [{ tag: "browser", opens: true }, { tag: "no browser", opens: false }]; }
    function test_help(data) {
        start();
        const messages = child("messages"), opened = [];
        messages.opener = url => opened.push(url.toString()) && data.opens;
        k.help();
        compare([opened, child("helpNote").visible, messages.helpNote.indexOf("xdg-open \"/help/en\"") >= 0], [["file:///help/en"], !data.opens, !data.opens]);
    }
}
