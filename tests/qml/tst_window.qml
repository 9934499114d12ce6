import QtQuick

KeloTestCase {
    name: "Window"

    function test_firstStartCentresAndRestartRestores() {
        start();
        compare(w.width, 556);
        compare(w.height, 230);
        compare(w.x, Math.floor((w.sw - 556) / 2));
        compare(w.y, Math.floor((w.sh - 230) / 2));
        verify(w.registered);
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
        stop();
        verify(store.value("registered"));
        start(true);
        compare(w.x, 40);
        compare(w.y, 70);
        compare(w.width, 600);
        compare(w.height, 250);
    }

    function test_localeRule_data() {
        return [
            { tag: "fr_CA", locale: "fr_CA", stored: undefined, lang: "fr", title: "Langue" },
            { tag: "pt_BR", locale: "pt_BR", stored: undefined, lang: "en", title: "Language" },
            { tag: "hr_HR", locale: "hr_HR", stored: undefined, lang: "en", title: "Language" },
            { tag: "de_AT", locale: "de_AT", stored: undefined, lang: "de", title: "Sprache" },
            { tag: "stored wins", locale: "fr_CA", stored: "es", lang: "es", title: "Idioma" }
        ];
    }

    function test_localeRule(data) {
        store.clear();
        if (data.stored !== undefined)
            store.setValue("l", data.stored);
        store.setLocale(data.locale);
        try {
            start(true);
            compare(w.lang, data.lang);
            compare(findChild(w, "menuStrip").visible, true);
            compare(wrap.callsOf(["lang"])[0], "lang(" + (["en", "fr", "es", "de"].indexOf(data.lang) + 1) + ")");
        } finally {
            store.setLocale("en_US");
        }
    }

    function test_positionWalksTheCorners_data() {
        return [
            { tag: "from top left", from: 1, walk: [2, 5, 4, 1] },
            { tag: "from top right", from: 2, walk: [5, 4, 1, 2] },
            { tag: "from bottom right", from: 5, walk: [4, 1, 2, 5] },
            { tag: "from bottom left", from: 4, walk: [1, 2, 5, 4] },
            { tag: "from the centre", from: 3, walk: [2, 5, 4, 1] }
        ];
    }

    function test_positionWalksTheCorners(data) {
        start();
        const places = {
            1: [0, 25], 2: [w.sw - w.width, 25], 3: [Math.floor((w.sw - w.width) / 2), Math.floor((w.sh - w.height) / 2)],
            4: [0, w.sh - w.height], 5: [w.sw - w.width, w.sh - w.height]
        };
        k.position(data.from);
        compare([w.x, w.y], places[data.from]);
        for (const p of data.walk) {
            k.position();
            compare([w.x, w.y], places[p], "expected corner " + p);
        }
    }

    function test_indicatorResetsSlidersOnlyInSettingsView() {
        start();
        const s1 = child("s1"), s2 = child("s2"), s3 = child("s3");
        compare(child("s1text").text, "1000 ms");
        compare(child("s2text").text, "8 ms");
        compare(child("s3text").text, "1x");
        const plain = w.sizp;
        s3.value = 1.25;
        compare(child("s3text").text, "1.25x");
        fuzzyCompare(w.sizp, plain * 1.25, 0.001);
        s1.value = 1500;
        s2.value = 12;
        k.vision(2);
        mouseClick(child("input"));
        compare([s1.value, s2.value, s3.value], [1500, 12, 1.25]);
        k.vision(1);
        // A second click this soon would be a double click.
        wait(Qt.styleHints.mouseDoubleClickInterval + 50);
        mouseClick(child("input"));
        compare([s1.value, s2.value, s3.value], [1000, 8, 1]);
        compare([w.s1v, w.s2v, w.s3v], [1000, 8, 1]);
    }

    function test_languageChangeRelabelsEverything() {
        start();
        k.vision(2);
        const k1 = child("k1"), k5 = child("k5");
        compare(k1.contentItem.text, "a-f");
        compare(k5.contentItem.text, "More");
        k.lg(2);
        compare(w.lang, "fr");
        compare(k1.contentItem.text, "a-f");
        compare(k5.contentItem.text, "Plus");
        compare(child("k6").contentItem.text, "clavier");
        const strip = child("menuStrip");
        const titles = [];
        const row = strip.children[0];
        for (let i = 0; i < row.children.length; ++i) {
            if (row.children[i].children.length > 0 && row.children[i].children[0].text !== undefined)
                titles.push(row.children[i].children[0].text);
        }
        compare(titles, ["Langue", "Options", "Affichage", "Position", "Appareils", "Quitter", "?"]);
        compare([child("label30").text, child("label22").text, child("label49").text],
                ["Curseur", "Vitesse", "Taille du texte"]);
        compare([child("winkCaption").text, child("signalCaption").text], ["Clignement", "Signal"]);
        compare(child("l21").items[0].text, "Aucun");
        compare(wrap.callsOf(["lang"]).slice(-1)[0], "lang(2)");
        stop();
        compare(store.value("l"), "fr");
    }

    function test_settingsPersistAcrossRestart() {
        start();
        child("s1").value = 1750;
        k.vision(3);
        stop();
        start(true);
        compare(w.s1v, 1750);
        compare(w.startup, 3);
        compare(child("mous").visible, true);
        compare(child("s1").value, 1750);
    }

    function test_launchAtStartupWritesOnlyWhenToggled() {
        start();
        const item = child("l12");
        verify(!item.checked);
        // A click toggles the check mark, then triggers.
        item.checked = true;
        item.triggered();
        compare(wrap.callsOf(["osstart", "osstop"]), ["osstart()"]);
        verify(w.ostart);
        stop();
        start(true);
        verify(child("l12").checked);
        compare(wrap.callsOf(["osstart", "osstop"]), [], "start-up rewrote the sign-in entry");
        child("l12").checked = false;
        child("l12").triggered();
        compare(wrap.callsOf(["osstart", "osstop"]), ["osstop()"]);
        verify(!w.ostart);
    }

    // Whatever a settings file holds, Kelo# comes up usable, in range and labelled.
    function test_outOfRangeStoredSettings_data() {
        return [
            { tag: "scan period", key: "s1v", value: 99999, check: () => w.s1v === 2000 && child("popot").interval === 2000 },
            { tag: "pointer step", key: "s2v", value: 0, check: () => w.s2v === 1 },
            { tag: "text size", key: "s3v", value: -5, check: () => w.s3v === 0.5 && w.sizp > 0 },
            { tag: "view", key: "startup", value: 7, check: () => w.startup === 1 && child("norm").visible },
            { tag: "language", key: "l", value: "xx", check: () => w.lang === "en" && child("label30").text === "Cursor" },
            { tag: "device past the end", key: "index", value: 42, check: () => w.index === 0 },
            { tag: "negative device", key: "index", value: -3, check: () => w.index === 0 },
            { tag: "no size", key: "width", value: 0, check: () => w.width === 556 && w.height === 230 }
        ];
    }

    function test_outOfRangeStoredSettings(data) {
        store.clear();
        store.setValue("registered", true);
        store.setValue(data.key, data.value);
        start(true);
        verify(data.check(), data.key + " = " + data.value);
        // The switch still works: Escape opens the first group of the keyboard.
        k.vision(2);
        press();
        compare(w.mov, 1);
    }
}
