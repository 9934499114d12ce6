import QtQuick

KeloTestCase {
    name: "Window"

    // A first start centres a 556 x 230 window; a restart brings back what the user changed,
    // without writing the sign-in entry again.
    function test_restartRestores() {
        start();
        compare([w.x, w.y, w.width, w.height, w.registered],
                [Math.floor((w.sw - 556) / 2), Math.floor((w.sh - 230) / 2), 556, 230, true]);
        // A shown window moves when the window system confirms it; the settings hear of it then.
        const confirmed = {};
        for (const p of ["x", "y", "width", "height"])
            w[p + "Changed"].connect(() => { confirmed[p] = w[p]; });
        w.x = 40;
        w.y = 70;
        w.width = 600;
        w.height = 250;
        tryVerify(() => confirmed.x === 40 && confirmed.y === 70 && confirmed.width === 600
                  && confirmed.height === 250, 5000, "the window system never confirmed the change");
        child("s1").value = 1750;
        k.vision(3);
        toggle(child("l12"));
        compare([wrap.callsOf(["osstart", "osstop"]), w.ostart], [["osstart()"], true]);
        stop();
        start(true);
        compare([w.x, w.y, w.width, w.height, w.s1v, child("s1").value, w.startup, child("mous").visible, child("l12").checked],
                [40, 70, 600, 250, 1750, 1750, 3, true, true]);
        compare(wrap.callsOf(["osstart", "osstop"]), [], "start-up rewrote the sign-in entry");
        toggle(child("l12"));
        compare([wrap.callsOf(["osstart", "osstop"]), w.ostart], [["osstop()"], false]);
    }

    // Without an argument the window walks the corners clockwise, from the centre too.
    function test_positionWalksTheCorners() {
        start();
        const right = w.sw - w.width, bottom = w.sh - w.height;
        k.position(3);
        compare([w.x, w.y], [Math.floor(right / 2), Math.floor(bottom / 2)]);
        for (const corner of [[right, 25], [right, bottom], [0, bottom], [0, 25], [right, 25]]) {
            k.position();
            compare([w.x, w.y], corner);
        }
    }

    function test_indicatorResetsSlidersOnlyInSettingsView() {
        start();
        const s1 = child("s1"), s2 = child("s2"), s3 = child("s3");
        const texts = () => ["s1text", "s2text", "s3text"].map(n => child(n).text);
        compare(texts(), ["1000 ms", "8 ms", "1x"]);
        const plain = w.sizp;
        s1.value = 1500;
        s2.value = 12;
        s3.value = 1.25;
        compare(texts(), ["1500 ms", "12 ms", "1.25x"]);
        fuzzyCompare(w.sizp, plain * 1.25, 0.001);
        k.vision(2);
        mouseClick(child("input"));
        compare([s1.value, s2.value, s3.value], [1500, 12, 1.25]);
        k.vision(1);
        // A second click this soon would be a double click.
        wait(Qt.styleHints.mouseDoubleClickInterval + 50);
        mouseClick(child("input"));
        compare([s1.value, s2.value, s3.value, w.s1v, w.s2v, w.s3v], [1000, 8, 1, 1000, 8, 1]);
    }

    function test_languageChangeRelabelsEverything() {
        start();
        k.lg(2);
        compare(["k1", "k5", "k6", "m3"].map(n => child(n).contentItem.text), ["a-f", "Plus", "clavier", "Plus"]);
        const cells = Array.from(child("menuStrip").children[0].children).filter(c => c.children.length > 0);
        compare(cells.map(c => c.children[0].text), ["Langue", "Options", "Affichage", "Position", "Appareils", "Quitter", "?"]);
        compare(["label30", "label22", "label49", "winkCaption", "signalCaption"].map(n => child(n).text),
                ["Curseur", "Vitesse", "Taille du texte", "Clignement", "Signal"]);
        compare([child("l21").items[0].text, wrap.callsOf(["lang"]).slice(-1)[0]], ["Aucun", "lang(2)"]);
        stop();
        compare(store.value("l"), "fr");
    }

    // Whatever a settings file holds, Kelo# comes up usable, in range, labelled and whole on
    // a screen.
    function test_storedSettings_data() {
        const shown = () => {
            const s = Qt.application.screens[0];
            return w.x >= s.virtualX && w.y >= s.virtualY && w.x + w.width <= s.virtualX + s.width
                && w.y + w.height <= s.virtualY + s.height;
        };
        return [
            { tag: "scan period", set: { s1v: 99999 }, check: () => w.s1v === 2000 && child("popot").interval === 2000 },
            { tag: "pointer step", set: { s2v: 0 }, check: () => w.s2v === 1 },
            { tag: "text size", set: { s3v: -5 }, check: () => w.s3v === 0.5 && w.sizp > 0 },
            { tag: "view", set: { startup: 7 }, check: () => w.startup === 1 && child("norm").visible },
            { tag: "language", set: { l: "xx" }, check: () => w.lang === "en" && child("label30").text === "Cursor" },
            { tag: "device past the end", set: { index: 42 }, check: () => w.index === 0 },
            { tag: "negative device", set: { index: -3 }, check: () => w.index === 0 },
            { tag: "no size", set: { width: 0 }, check: () => w.width === 556 && w.height === 230 },
            { tag: "screen gone", set: { x: 3000, y: 2000, width: 556, height: 230 }, check: () => shown() && w.width === 556 },
            { tag: "mostly off the left", set: { x: -500, y: 300, width: 556, height: 230 }, check: () => shown() && w.y === 300 },
            { tag: "off the bottom right", set: { x: 1000, y: 900, width: 556, height: 230 }, check: shown },
            { tag: "larger than the screen", set: { x: 0, y: 0, width: 3000, height: 2000 }, check: shown },
            // A first start speaks the language of the locale when Kelo# has it; a choice stays.
            { tag: "fr_CA", locale: "fr_CA", set: {}, check: () => w.lang === "fr" && wrap.callsOf(["lang"])[0] === "lang(2)" },
            { tag: "hr_HR", locale: "hr_HR", set: {}, check: () => w.lang === "en" && wrap.callsOf(["lang"])[0] === "lang(1)" },
            { tag: "de_AT", locale: "de_AT", set: {}, check: () => w.lang === "de" && wrap.callsOf(["lang"])[0] === "lang(4)" },
            { tag: "stored language", locale: "fr_CA", set: { l: "es" }, check: () => w.lang === "es" && wrap.callsOf(["lang"])[0] === "lang(3)" },
            { tag: "options out of range", set: { ranking: 7, debounce: -5, holdtime: "x", firstdwell: 20 },
              check: () => [w.ranking, w.debounce, w.holdtime, w.firstdwell].join() === "0,0,0,100" }
        ];
    }
    function test_storedSettings(data) {
        store.clear();
        store.setValue("registered", true);
        for (const key in data.set)
            store.setValue(key, data.set[key]);
        store.setLocale(data.locale || "en_US");
        try {
            start(true);
        } finally {
            store.setLocale("en_US");
        }
        verify(data.check(), JSON.stringify(data.set) + " gave " + [w.x, w.y, w.width, w.height, w.lang]);
        // The switch still works: Escape opens the first group of the keyboard.
        k.vision(2);
        press();
        compare(w.mov, 1);
    }

    // The options reach the bridge at start and when chosen in the Options menu, and are kept.
    function test_options() {
        start();
        compare(wrap.callsOf(["rank", "setHold", "setKey"]), ["rank(0)", "setHold(0)", "setKey(,0)"]);
        child("l54").items[2].triggered();
        child("l54").items[4].triggered();
        child("l60").items[2].triggered();
        child("l61").items[3].triggered();
        child("l62").items[2].triggered();
        toggle(child("l59"));
        compare([child("l61").items[3].text, wrap.callsOf(["rank", "forget", "setHold"]).slice(-3)],
                ["300 ms", ["rank(2)", "forget()", "setHold(300)"]]);
        stop();
        store.setValue("switchkey", "F8");
        store.setValue("grabkey", true);
        start(true);
        compare(wrap.callsOf(["rank", "forget", "setHold", "setKey"]), ["rank(2)", "setHold(300)", "setKey(F8,1)"]);
        compare([w.debounce, w.firstdwell, w.padjump, child("l59").checked, child("l61").items[3].checked],
                [100, 150, true, true, true]);
    }
}
