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

    // Label 0 sets the language by its menu number; other numbers leave it as it was. A label of
    // the language's own holds a text only it has ("has"); others are the English ones.
    function test_lookups_data() {
        return [{ tag: "French 35 is the English list", lang: "fr", n: 35, want: ["a-f", "a", "b", "c", "d", "e", "f"] }, { tag: "French 45 is French", lang: "fr", n: 45, has: "FLÈCHES" },
                { tag: "German 52 whatever the language", lang: "fr", n: 52, code: "de", want: "Zwinkern" }, { tag: "Spanish 43", lang: "es", n: 43, has: "SUPR" },
                { tag: "German 43 on Linux", lang: "de", os: "linux", n: 43, has: "RÜCKTASTE" }, { tag: "unknown language", lang: "en", n: 5, code: "xx", want: 0 },
                { tag: "set German", lang: "en", n: 0, code: 4, want: 0, then: "de" }, { tag: "set no language", lang: "de", n: 0, code: 9, want: 0 }];
    }
    function test_lookups(data) {
        wind.lang = data.lang;
        wind.os = data.os || "windows";
        const shown = Lang.lang(data.n, data.code);
        verify(data.has ? shown.indexOf(data.has) >= 0 : JSON.stringify(shown) === JSON.stringify(data.want), JSON.stringify(shown));
        compare(wind.lang, data.then || data.lang);
    }

    // Every label English has, in every table: a text where English has one, lists as long, the
    // same signs named, the same blanks filled in (%1). The menu's languages translate all but
    // the letters, digits and signs, which are the same in each; the others fall back to English.
    function test_tablesComplete_data() {
        return Object.keys(Lang.tables).map(code => ({ tag: code, own: ["en", "fr", "es", "de"].indexOf(code) >= 0 }));
    }
    function test_tablesComplete(data) {
        const blanks = t => (t.match(/%[0-9]/g) || []).sort().join();
        for (const os of ["windows", "osx"]) {
            wind.os = os;
            for (const n of Object.keys(Lang.en).map(Number)) {
                const english = Lang.lang(n, "en"), shown = Lang.lang(n, data.tag);
                verify(!data.own || (n >= 35 && n <= 42) || Lang.entry(Lang.tables[data.tag], n) !== 1, "no label " + n);
                compare(typeof shown, typeof english, "label " + n);
                const keys = typeof english === "string" ? [] : Object.keys(english).sort();
                compare(keys.length ? Object.keys(shown).sort() : [], keys, "label " + n + " is " + JSON.stringify(shown));
                for (const [e, t] of keys.length ? keys.map(k => [english[k], shown[k]]) : [[english, shown]]) {
                    verify(e === "" || t.length > 0, "label " + n + " has an empty text: " + JSON.stringify(shown));
                    compare(blanks(t), blanks(e), "label " + n + " " + t);
                }
            }
        }
    }
}
