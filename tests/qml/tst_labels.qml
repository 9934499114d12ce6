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

    function init() {
        wind.lang = "en";
        wind.os = "windows";
    }

    function test_lookups_data() {
        return [
            { tag: "French 35 is the English list", lang: "fr", n: 35, code: undefined, want: ["a-f", "a", "b", "c", "d", "e", "f"] },
            { tag: "French 45 is French", lang: "fr", n: 45, code: undefined, want: ["GEST", "GAUCHE", "HAUT", "DROITE", "BAS", "P-HAUT", "P-BAS"] },
            { tag: "Quit in English", lang: "en", n: 31, code: undefined, want: "Quit" },
            { tag: "Quit in French", lang: "fr", n: 31, code: undefined, want: "Quitter" },
            { tag: "German 52 whatever the language", lang: "fr", n: 52, code: "de", want: "zwinkern" },
            { tag: "Spanish 43 falls back", lang: "es", n: 43, code: undefined, want: ["D-ALT", "DEL", "BACK", "ENTER", "CTRL", "QUIT", "ALT"] },
            { tag: "unknown language", lang: "en", n: 5, code: "xx", want: 0 }
        ];
    }

    function test_lookups(data) {
        wind.lang = data.lang;
        compare(Lang.lang(data.n, data.code), data.want);
    }

    function test_platformVariants() {
        wind.lang = "de";
        wind.os = "osx";
        const mac = Lang.lang(43);
        compare(mac[0], "D-OPT");
        compare(mac[mac.length - 1], "OPTION");
        wind.os = "linux";
        compare(Lang.lang(43)[0], "D-ALT");
        compare(Lang.lang(44)[4], "WIND");
    }

    function test_settingTheLanguage() {
        compare(Lang.lang(0, 4), 0);
        compare(wind.lang, "de");
        Lang.lang(0, 9);
        compare(wind.lang, "de");
        Lang.lang(0, 2);
        compare(wind.lang, "fr");
    }
}
