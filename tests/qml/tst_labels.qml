import QtQuick
import QtTest
import "qrc:/lang.js" as Lang

// The label table on its own, with a stand-in for the window it reads.
TestCase {
    name: "Labels"

    QtObject {
        id: wind
        property string lang: "en"
        property string os: "windows"
    }

    // Label 0 sets the language by its menu number; other numbers leave it as it was.
    function test_lookups_data() {
        const d43 = quit => ["D-ALT", "DEL", "BACK", "ENTER", "CTRL", quit, "ALT"];
        return [
            { tag: "French 35 is the English list", lang: "fr", n: 35, want: ["a-f", "a", "b", "c", "d", "e", "f"] },
            { tag: "French 45 is French", lang: "fr", n: 45, want: ["GEST", "GAUCHE", "HAUT", "DROITE", "BAS", "P-HAUT", "P-BAS", "DEBUT", "FIN"] },
            { tag: "German 52 whatever the language", lang: "fr", n: 52, code: "de", want: "zwinkern" },
            { tag: "English 43", lang: "en", n: 43, want: d43("CLOSE WIN.") }, { tag: "Spanish 43", lang: "es", n: 43, want: d43("CERRAR VENT.") },
            { tag: "German 43 on Linux", lang: "de", os: "linux", n: 43, want: d43("FENSTER ZU") }, { tag: "unknown language", lang: "en", n: 5, code: "xx", want: 0 },
            { tag: "set German", lang: "en", n: 0, code: 4, want: 0, then: "de" }, { tag: "set no language", lang: "de", n: 0, code: 9, want: 0 }
        ];
    }
    function test_lookups(data) {
        wind.lang = data.lang;
        wind.os = data.os || "windows";
        compare([Lang.lang(data.n, data.code), wind.lang], [data.want, data.then || data.lang]);
    }

    // Each table has the labels it translates, lists as long as English; with the fallback every
    // label shown has a text.
    function test_tablesComplete_data() {
        const holds = { en: "1-27 29-53", fr: "1-27 29-34 43-53", es: "1-27 29-34 47-53", de: "1-27 29-34 47-53",
                        pt: "1-27 29-34 47-49", ja: "1-27 29-34 47-49", it: "1-27 29-34 47-49", zh: "1-34 47-49", hr: "1-34 47-49" };
        return Object.keys(holds).map(code => ({ tag: code, spans: (holds[code] + " 140-143").split(" ").map(s => s.split("-").map(Number)) }));
    }
    function test_tablesComplete(data) {
        for (const os of ["windows", "osx"]) {
            wind.os = os;
            for (let n = 1; n <= 143; n = n === 53 ? 140 : n + 1) { // 140 on: point mode's
                const held = data.spans.some(s => n >= s[0] && n <= s[1]), shown = Lang.lang(n, data.tag);
                verify(!held || Lang.entry(Lang.tables[data.tag], n) !== 1, "no label " + n);
                const english = Lang.lang(n, "en"), list = Array.isArray(english);
                verify(n === 28 || (shown.length > 0 && Array.isArray(shown) === list), "label " + n + " is " + shown);
                verify(!list || (shown.length === english.length && shown.every(t => t.length > 0)), "list " + n + " is " + shown);
            }
        }
    }
}
