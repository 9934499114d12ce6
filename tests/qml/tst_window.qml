import QtQuick

KeloTestCase {
    name: "Window"

    // A first start centres a 556 x 230 window and gives the bridge the default options; a
    // restart brings back what the user changed, in the language chosen, without writing the
    // sign-in entry again.
    function test_restartRestores() {
        start();
        compare([w.x, w.y, w.width, w.height, w.registered, calls(["rank", "setHold", "setKey"])],
                [Math.floor((w.sw - 556) / 2), Math.floor((w.sh - 230) / 2), 556, 230, true, ["rank(0)", "setHold(0)", "setKey(,0)"]]);
        // A shown window moves when the window system confirms it; the settings hear of it then.
        const confirmed = {}, size = ["x", "y", "width", "height"];
        for (const p of size)
            w[p + "Changed"].connect(() => { if (w) confirmed[p] = w[p]; }); // also fires as it goes
        [w.x, w.y, w.width, w.height] = [40, 70, 600, 250];
        tryVerify(() => size.map(p => confirmed[p]).join() === "40,70,600,250", 5000, "the window system never confirmed the change");
        child("s1").value = 1750;
        k.vision(3);
        toggle(child("l12"));
        compare([calls(["osstart", "osstop"]), w.ostart], [["osstart()"], true]);
        k.lg(2);
        compare(calls(["lang"]).slice(-1), ["lang(2)"]);
        // The options, as chosen in the Options menu.
        for (const [menu, n] of [["l54", 2], ["l54", 4], ["l60", 2], ["l61", 3], ["l62", 2]])
            child(menu).items[n].triggered();
        toggle(child("l59"));
        compare([child("l61").items[3].text, calls(["rank", "forget", "setHold"]).slice(-3)], ["300 ms", ["rank(2)", "forget()", "setHold(300)"]]);
        stop();
        store.setValue("switchkey", "F8");
        store.setValue("grabkey", true);
        start(true);
        compare([w.x, w.y, w.width, w.height, w.s1v, child("s1").value, w.startup, child("mous").visible, child("l12").checked],
                [40, 70, 600, 250, 1750, 1750, 3, true, true]);
        compare(calls(["osstart", "osstop", "rank", "forget", "setHold", "setKey", "lang"]), ["lang(2)", "rank(2)", "setHold(300)", "setKey(F8,1)"]);
        compare([w.debounce, w.firstdwell, w.padjump, child("l59").checked, child("l61").items[3].checked], [100, 150, true, true, true]);
        compare(["k1", "k5", "k6", "m3"].map(n => child(n).contentItem.text), ["a-f", "Plus", "clavier", "Plus"]);
        const cells = Array.from(child("menuStrip").children[0].children).filter(c => c.children.length > 0);
        compare(cells.map(c => c.children[0].text), ["Langue", "Options", "Affichage", "Position", "Appareils", "Quitter", "?"]);
        compare(["label30", "label22", "label49", "winkCaption", "signalCaption"].map(n => child(n).text).concat(child("l21").items[0].text),
                ["Curseur", "Vitesse", "Taille du texte", "Clignement", "Signal", "Aucun"]);
        toggle(child("l12"));
        compare([calls(["osstart", "osstop"]), w.ostart], [["osstop()"], false]);
    }

    // The sliders show their values and scale the text; a click on the indicator resets them
    // in the settings view only. Without an argument the window walks the corners clockwise,
    // from the centre too.
    function test_slidersAndPlaces() {
        start();
        const right = w.sw - w.width, bottom = w.sh - w.height, at = [];
        k.position(3);
        for (let i = 0; i < 6; ++i, k.position())
            at.push([w.x, w.y]);
        compare(at, [[Math.floor(right / 2), Math.floor(bottom / 2)], [right, 25], [right, bottom], [0, bottom], [0, 25], [right, 25]]);
        const sliders = ["s1", "s2", "s3"].map(child), plain = w.sizp;
        const values = () => sliders.map(s => s.value).concat(w.s1v, w.s2v, w.s3v);
        [sliders[0].value, sliders[1].value, sliders[2].value] = [1500, 12, 1.25];
        compare(["s1text", "s2text", "s3text"].map(n => child(n).text), ["1500 ms", "12 ms", "1.25x"]);
        fuzzyCompare(w.sizp, plain * 1.25, 0.001);
        k.vision(2);
        mouseClick(child("input"));
        compare(values(), [1500, 12, 1.25, 1500, 12, 1.25]);
        k.vision(1);
        // A second click this soon would be a double click.
        wait(Qt.styleHints.mouseDoubleClickInterval + 50);
        mouseClick(child("input"));
        compare(values(), [1000, 8, 1, 1000, 8, 1]);
    }

    // Whatever a settings file holds, Kelo# comes up usable, in range, labelled and whole on
    // a screen; a first start speaks the language of the locale when Kelo# has it.
    function test_storedSettings_data() {
        const shown = () => {
            const s = Qt.application.screens[0];
            return w.x >= s.virtualX && w.y >= s.virtualY && w.x + w.width <= s.virtualX + s.width
                && w.y + w.height <= s.virtualY + s.height;
        };
        const spoken = (code, n) => () => w.lang === code && calls(["lang"])[0] === "lang(" + n + ")";
        return [
            { tag: "scan period", set: { s1v: 99999 }, check: () => w.s1v === 2000 && child("popot").interval === 2000 },
            { tag: "pointer step", set: { s2v: 0 }, check: () => w.s2v === 1 }, { tag: "negative device", set: { index: -3 }, check: () => w.index === 0 },
            { tag: "text size", set: { s3v: -5 }, check: () => w.s3v === 0.5 && w.sizp > 0 }, { tag: "view", set: { startup: 7 }, check: () => w.startup === 1 && child("norm").visible },
            { tag: "language", set: { l: "xx" }, check: () => w.lang === "en" && child("label30").text === "Cursor" },
            { tag: "no size", set: { width: 0 }, check: () => w.width === 556 && w.height === 230 },
            { tag: "screen gone", set: { x: 3000, y: 2000, width: 556, height: 230 }, check: () => shown() && w.width === 556 },
            { tag: "mostly off the left", set: { x: -500, y: 300, width: 556, height: 230 }, check: () => shown() && w.y === 300 },
            { tag: "off the bottom right", set: { x: 1000, y: 900, width: 556, height: 230 }, check: shown },
            { tag: "larger than the screen", set: { x: 0, y: 0, width: 3000, height: 2000 }, check: shown },
            { tag: "fr_CA", locale: "fr_CA", check: spoken("fr", 2) }, { tag: "hr_HR", locale: "hr_HR", check: spoken("en", 1) },
            { tag: "de_AT", locale: "de_AT", check: spoken("de", 4) }, { tag: "stored language", locale: "fr_CA", set: { l: "es" }, check: spoken("es", 3) },
            { tag: "options out of range", set: { ranking: 7, debounce: -5, holdtime: "x", firstdwell: 20 },
              check: () => [w.ranking, w.debounce, w.holdtime, w.firstdwell].join() === "0,0,0,100" }
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
}
