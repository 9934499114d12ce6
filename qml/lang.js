// Label table of the front end: every text the window shows, by number and
// language. A list label holds the group title at element 0, then the items.
// Imported by main.qml as "Lang"; reads and writes the window's language and
// platform through the window id "wind".

// Labels 43 and 44 name modifier keys that differ by platform.
function keys(windows, other) {
    return { windows: windows, other: other };
}

var en = {
    1: "Kelo#", 2: "Language", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Options", 12: "Launch at startup", 13: "Keyboard word prediction", 14: "Sound",
    15: "Incremental Speed", 16: "View", 17: "Normal", 18: "Keyboard", 19: "Mouse",
    20: "Position", 21: "Devices", 22: "Speed", 23: "Top left", 24: "Top right",
    25: "Center", 26: "Bottom left", 27: "Bottom right",
    29: "Visual input", 30: "Cursor", 31: "Quit", 32: "Exit", 33: "None", 34: "Webcam",
    35: ["a-f", "a", "b", "c", "d", "e", "f"],
    36: ["g-l", "g", "h", "i", "j", "k", "l"],
    37: ["m-r", "m", "n", "o", "p", "q", "r"],
    38: ["s-z", "s", "t", "u", "v", "w", "x", "y", "z"],
    39: ["0-4", "0", "1", "2", "3", "4"],
    40: ["5-9", "5", "6", "7", "8", "9"],
    41: ["*-/", "*", "+", "=", "-", ".", "/", "(", ")"],
    42: [",-.", ",", "@", ".", "'", "?", "!", ":", ";", "\""],
    43: keys(["D-ALT", "DEL", "BACK", "ENTER", "CTRL", "CLOSE WIN.", "ALT"],
             ["D-OPT", "DEL", "BACK", "ENTER", "CTRL", "CLOSE WIN.", "OPTION"]),
    44: keys(["T-ESC", "TAB", "SHIFT", "CAPS", "WIN", "ESC"],
             ["T-ESC", "TAB", "SHIFT", "CAPS", "COMM.", "ESC"]),
    45: ["MOVE", "LEFT", "UP", "RIGHT", "DOWN", "P-UP", "P-DOWN", "HOME", "END"],
    46: ["MUL.", "MUTE", "V-DOWN", "VOL-UP", "NEXT", "PREV", "STOP", "||PLAY"],
    47: ["More", "Space", ".", ",", "Erase", "Undo", "?", "'", "!", "Shift", "0-9", "Er.All", "Speak"],
    48: ["KeyB", "letters", "numbers", "special", "pause", "Mouse", "move", "é à F1", "Slower", "Faster", "close Kelo#"],
    49: "Text size",
    50: ["Click", "left click", "right click", "double click", "held click", "move", "pause", "Keyboard"],
    51: "Headset", 52: "Blink", 53: "Signal",
    54: "Prediction order", 55: "Alphabetical", 56: "Most frequent first",
    57: "Frequent, and my own words", 58: "Forget my words",
    59: "Highlight the predictions after a letter", 60: "Ignore repeated presses",
    61: "Hold to press", 62: "Longer on the first item", 63: "Off",
    100: "Escape key", 101: "A switch no application sees", 102: "A switch, and applications see it",
    103: "Not a switch",
    104: "Press the switch (Escape) to open the keyboard. The ? menu explains the rest.",
    105: "Escape cannot be read on this desktop, so it is no switch: choose a game pad, the camera or the headset in Devices, or see the fix below.",
    106: "Escape is no switch here: Kelo# may not read the keyboards. Fix: install Kelo#'s package (its udev rule opens them to you at once), or: sudo adduser $USER input, then log in again.",
    120: "Auditory scanning", 121: "Speak each item", 122: "A short sound", 123: "Speak each word",
    124: "Voice", 125: "Rate", 126: "Volume", 127: "Default voice",
    128: { ",": "comma", ".": "full stop", "@": "at", "'": "apostrophe", "?": "question mark",
           "!": "exclamation mark", ":": "colon", ";": "semicolon", "\"": "quote", "*": "star",
           "+": "plus", "=": "equals", "-": "minus", "/": "slash", "(": "open bracket",
           ")": "close bracket" },
    129: " to ", 130: "Switch key", 131: "Choose the switch key…", 132: "Keep it from applications",
    133: "No switch key", 134: "Press the key to use as the switch (%1 s). Escape cancels.",
    135: "%1 is the switch key now; applications no longer see it.",
    136: "No key was pressed: the switch key stays as it was.", 137: "Scan period %1 ms",
    138: "Predictions"
};

var fr = {
    1: "Kelo#", 2: "Langue", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Options", 12: "Lancer au démarrage", 13: "Prédiction de mots", 14: "Son",
    15: "Vitesse incrémentielle", 16: "Affichage", 17: "Normal", 18: "Clavier", 19: "Souris",
    20: "Position", 21: "Appareils", 22: "Vitesse", 23: "En haut à gauche",
    24: "En haut à droite", 25: "Au centre", 26: "En bas à gauche", 27: "En bas à droite",
    29: "Entrée visuelle", 30: "Curseur", 31: "Quitter", 32: "Sortir", 33: "Aucun",
    34: "Webcam",
    43: keys(["S-ALT", "SUPPR", "EFFACER", "ENTRÉE", "CTRL", "FERMER FEN.", "ALT"],
             ["S-OPT", "SUPPR", "EFFACER", "ENTRÉE", "CTRL", "FERMER FEN.", "OPTION"]),
    44: keys(["T-ÉCHAP", "TAB", "MAJ", "VERR. MAJ", "WIN", "ÉCHAP"],
             ["T-ÉCHAP", "TAB", "MAJ", "VERR. MAJ", "CMD", "ÉCHAP"]),
    45: ["FLÈCHES", "GAUCHE", "HAUT", "DROITE", "BAS", "PG PRÉC.", "PG SUIV.", "DÉBUT", "FIN"],
    46: ["MÉDIA", "MUET", "VOL. BAS", "VOL. HAUT", "SUIVANT", "PRÉCÉD.", "STOP", "||LECTURE"],
    47: ["Plus", "espace", ".", ",", "effacer", "annuler", "?", "'", "!", "Maj", "0-9", "ef.tout", "dire"],
    48: ["clavier", "lettres", "chiffres", "spécial", "pause", "souris", "déplacer", "é à F1", "plus lent", "plus vite", "fermer Kelo#"],
    49: "Taille du texte",
    50: ["Clic", "clic gauche", "clic droit", "double clic", "clic maintenu", "déplacer", "pause", "clavier"],
    51: "Casque EEG", 52: "Clignement", 53: "Signal",
    54: "Ordre des prédictions", 55: "Alphabétique", 56: "Les plus fréquents d'abord",
    57: "Fréquents, et mes propres mots", 58: "Oublier mes mots",
    59: "Aller aux prédictions après une lettre", 60: "Ignorer les appuis répétés",
    61: "Maintenir pour appuyer", 62: "Plus long sur le premier choix", 63: "Non",
    100: "Touche Échap", 101: "Un contacteur qu'aucune application ne voit",
    102: "Un contacteur, que les applications voient aussi", 103: "Pas un contacteur",
    104: "Appuyez sur le contacteur (Échap) pour ouvrir le clavier. Le menu ? explique le reste.",
    105: "Échap ne peut pas être lu sur ce bureau, ce n'est donc pas un contacteur : choisissez une manette, la caméra ou le casque dans Appareils, ou voyez la solution ci-dessous.",
    106: "Échap n'est pas un contacteur ici : Kelo# ne peut pas lire les claviers. Solution : installez le paquet de Kelo# (sa règle udev vous les ouvre aussitôt), ou : sudo adduser $USER input, puis reconnectez-vous.",
    120: "Défilement parlé", 121: "Dire chaque choix", 122: "Un son bref", 123: "Dire chaque mot",
    124: "Voix", 125: "Débit", 126: "Volume", 127: "Voix par défaut",
    128: { ",": "virgule", ".": "point", "@": "arobase", "'": "apostrophe", "?": "point d'interrogation",
           "!": "point d'exclamation", ":": "deux-points", ";": "point-virgule", "\"": "guillemet",
           "*": "étoile", "+": "plus", "=": "égal", "-": "moins", "/": "barre oblique",
           "(": "parenthèse ouvrante", ")": "parenthèse fermante" },
    129: " à ", 130: "Touche contacteur", 131: "Choisir la touche contacteur…",
    132: "La cacher aux applications", 133: "Aucune touche contacteur",
    134: "Appuyez sur la touche qui servira de contacteur (%1 s). Échap annule.",
    135: "%1 est maintenant la touche contacteur ; les applications ne la voient plus.",
    136: "Aucune touche appuyée : la touche contacteur reste la même.", 137: "Défilement %1 ms",
    138: "Prédictions"
};

var es = {
    1: "Kelo#", 2: "Idioma", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Opciones", 12: "Ejecutar al inicio", 13: "Predicción de palabras",
    14: "Sonido", 15: "Velocidad incremental", 16: "Visualización", 17: "Normal",
    18: "Teclado", 19: "Ratón", 20: "Posición", 21: "Dispositivos", 22: "Velocidad",
    23: "Arriba a la izquierda", 24: "Arriba a la derecha", 25: "Centro",
    26: "Abajo a la izquierda", 27: "Abajo a la derecha",
    29: "Entrada visual", 30: "Cursor", 31: "Salir", 32: "Salir", 33: "Ninguno",
    34: "Webcam",
    43: keys(["S-ALT", "SUPR", "RETROCESO", "INTRO", "CTRL", "CERRAR VENT.", "ALT"],
             ["S-OPC", "SUPR", "RETROCESO", "INTRO", "CTRL", "CERRAR VENT.", "OPCIÓN"]),
    44: keys(["T-ESC", "TAB", "MAYÚS", "BLOQ MAYÚS", "WIN", "ESC"],
             ["T-ESC", "TAB", "MAYÚS", "BLOQ MAYÚS", "CMD", "ESC"]),
    45: ["FLECHAS", "IZQUIERDA", "ARRIBA", "DERECHA", "ABAJO", "RE PÁG", "AV PÁG", "INICIO", "FIN"],
    46: ["MEDIOS", "SILENCIO", "BAJAR VOL.", "SUBIR VOL.", "SIGUIENTE", "ANTERIOR", "DETENER", "||REPRODUCIR"],
    47: ["Más", "Espacio", ".", ",", "Borrar", "Deshacer", "?", "'", "!", "Mayús", "0-9", "Borr.+", "Decir"],
    48: ["Teclado", "A - Z", "1 - 9", "especial", "pausa", "Ratón", "Desplazar", "é à F1", "Más lento", "Más rápido", "cerrar Kelo#"],
    49: "Tamaño del texto",
    50: ["Clic", "clic izquierdo", "clic derecho", "doble clic", "clic mantenido", "Desplazar", "pausa", "Teclado"],
    51: "Casco EEG", 52: "Parpadeo", 53: "Señal",
    54: "Orden de las predicciones", 55: "Alfabético", 56: "Los más frecuentes primero",
    57: "Frecuentes, y mis propias palabras", 58: "Olvidar mis palabras",
    59: "Ir a las predicciones tras una letra", 60: "Ignorar pulsaciones repetidas",
    61: "Mantener para pulsar", 62: "Más tiempo en la primera opción", 63: "No",
    100: "Tecla Escape", 101: "Un pulsador que ninguna aplicación ve",
    102: "Un pulsador, y las aplicaciones también lo ven", 103: "No es un pulsador",
    104: "Pulse (Escape) para abrir el teclado. El menú ? explica el resto.",
    105: "Escape no se puede leer en este escritorio, así que no es un pulsador: elija un mando, la cámara o el casco en Dispositivos, o vea la solución abajo.",
    106: "Escape no es un pulsador aquí: Kelo# no puede leer los teclados. Solución: instale el paquete de Kelo# (su regla udev se los abre al momento), o: sudo adduser $USER input, y vuelva a iniciar sesión.",
    120: "Barrido hablado", 121: "Decir cada opción", 122: "Un sonido breve", 123: "Decir cada palabra",
    124: "Voz", 125: "Velocidad de la voz", 126: "Volumen", 127: "Voz predeterminada",
    128: { ",": "coma", ".": "punto", "@": "arroba", "'": "apóstrofo", "?": "interrogación",
           "!": "exclamación", ":": "dos puntos", ";": "punto y coma", "\"": "comillas",
           "*": "asterisco", "+": "más", "=": "igual", "-": "menos", "/": "barra",
           "(": "abre paréntesis", ")": "cierra paréntesis" },
    129: " a ", 130: "Tecla pulsador", 131: "Elegir la tecla pulsador…",
    132: "Ocultarla a las aplicaciones", 133: "Ninguna tecla pulsador",
    134: "Pulse la tecla que será el pulsador (%1 s). Escape cancela.",
    135: "%1 es ahora la tecla pulsador; las aplicaciones ya no la ven.",
    136: "No se pulsó ninguna tecla: la tecla pulsador no cambia.", 137: "Barrido %1 ms",
    138: "Predicciones"
};

var de = {
    1: "Kelo#", 2: "Sprache", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Optionen", 12: "Beim Systemstart ausführen", 13: "Wortvorschläge",
    14: "Ton", 15: "Zunehmende Geschwindigkeit", 16: "Ansicht", 17: "Normal",
    18: "Tastatur", 19: "Maus", 20: "Position", 21: "Geräte", 22: "Geschwindigkeit",
    23: "Oben links", 24: "Oben rechts", 25: "Mitte", 26: "Unten links", 27: "Unten rechts",
    29: "Visuelle Eingabe", 30: "Mauszeiger", 31: "Beenden", 32: "Beenden", 33: "Keine",
    34: "Webcam",
    43: keys(["ENTF-ALT", "ENTF", "RÜCKTASTE", "EINGABE", "STRG", "FENSTER ZU", "ALT"],
             ["ENTF-WAHL", "ENTF", "RÜCKTASTE", "EINGABE", "CTRL", "FENSTER ZU", "WAHL"]),
    44: keys(["TAB-ESC", "TAB", "UMSCHALT", "FESTSTELL", "WIN", "ESC"],
             ["TAB-ESC", "TAB", "UMSCHALT", "FESTSTELL", "BEFEHL", "ESC"]),
    45: ["PFEILE", "LINKS", "HOCH", "RECHTS", "RUNTER", "BILD AUF", "BILD AB", "POS1", "ENDE"],
    46: ["MEDIEN", "STUMM", "LEISER", "LAUTER", "NÄCHSTER", "VORHERIGER", "STOPP", "||WIEDERGABE"],
    47: ["Mehr", "Leertaste", ".", ",", "Löschen", "Rückgängig", "?", "'", "!", "Umschalt", "0-9", "Lösch.+", "Sprechen"],
    48: ["Tastatur", "A - Z", "1 - 9", "Sondertasten", "Pause", "Maus", "verschieben", "é à F1", "Langsamer", "Schneller", "Kelo# beenden"],
    49: "Textgröße",
    50: ["Klick", "Linksklick", "Rechtsklick", "Doppelklick", "gedrückt halten", "verschieben", "Pause", "Tastatur"],
    51: "EEG-Headset", 52: "Zwinkern", 53: "Signal",
    54: "Reihenfolge der Vorschläge", 55: "Alphabetisch", 56: "Häufigste zuerst",
    57: "Häufige und meine eigenen Wörter", 58: "Meine Wörter vergessen",
    59: "Nach einem Buchstaben zu den Vorschlägen", 60: "Wiederholtes Drücken ignorieren",
    61: "Zum Drücken halten", 62: "Länger auf der ersten Wahl", 63: "Aus",
    100: "Escape-Taste", 101: "Ein Taster, den keine Anwendung sieht",
    102: "Ein Taster, den Anwendungen auch sehen", 103: "Kein Taster",
    104: "Drücken Sie den Taster (Escape), um die Tastatur zu öffnen. Das Menü ? erklärt den Rest.",
    105: "Escape kann auf diesem Desktop nicht gelesen werden und ist daher kein Taster: Wählen Sie unter Geräte ein Gamepad, die Kamera oder das Headset, oder siehe die Abhilfe unten.",
    106: "Escape ist hier kein Taster: Kelo# darf die Tastaturen nicht lesen. Abhilfe: Installieren Sie das Paket von Kelo# (seine udev-Regel öffnet sie Ihnen sofort) oder: sudo adduser $USER input, dann neu anmelden.",
    120: "Gesprochenes Scannen", 121: "Jede Wahl sprechen", 122: "Ein kurzer Ton", 123: "Jedes Wort sprechen",
    124: "Stimme", 125: "Sprechtempo", 126: "Lautstärke", 127: "Standardstimme",
    128: { ",": "Komma", ".": "Punkt", "@": "at", "'": "Apostroph", "?": "Fragezeichen",
           "!": "Ausrufezeichen", ":": "Doppelpunkt", ";": "Semikolon", "\"": "Anführungszeichen",
           "*": "Stern", "+": "plus", "=": "gleich", "-": "minus", "/": "Schrägstrich",
           "(": "Klammer auf", ")": "Klammer zu" },
    129: " bis ", 130: "Tastertaste", 131: "Tastertaste wählen…",
    132: "Vor Anwendungen verbergen", 133: "Keine Tastertaste",
    134: "Drücken Sie die Taste, die der Taster sein soll (%1 s). Escape bricht ab.",
    135: "%1 ist jetzt die Tastertaste; Anwendungen sehen sie nicht mehr.",
    136: "Keine Taste gedrückt: die Tastertaste bleibt, wie sie war.", 137: "Scan-Takt %1 ms",
    138: "Vorschläge"
};

// The tables below keep the English key-group lists (47, 48) as they are; a label they lack
// (some option names) shows in English.
var pt = {
    1: "Kelo#", 2: "Idioma", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Opções", 12: "Iniciar com o sistema", 13: "Previsão de palavras do teclado",
    14: "Som", 15: "Velocidade incremental", 16: "Exibir", 17: "Normal", 18: "Teclado",
    19: "Mouse", 20: "Posição", 21: "Dispositivos", 22: "Velocidade",
    23: "Superior esquerdo", 24: "Superior direito", 25: "Centro",
    26: "Inferior esquerdo", 27: "Inferior direito",
    29: "Entrada visual", 30: "Cursor", 31: "Sair", 32: "Saída", 33: "Nenhum", 34: "Webcam",
    47: en[47], 48: en[48], 49: "Tamanho do texto",
    54: "Ordem das previsões", 55: "Alfabética", 56: "Mais frequentes primeiro",
    58: "Esquecer as minhas palavras", 63: "Desligado"
};

var zh = {
    1: "Kelo#", 2: "语言", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "选项", 12: "开机时启动", 13: "键盘单词预测", 14: "声音", 15: "递增速度",
    16: "视图", 17: "普通", 18: "键盘", 19: "鼠标", 20: "位置", 21: "设备", 22: "速度",
    23: "左上", 24: "右上", 25: "居中", 26: "左下", 27: "右下", 28: "控制",
    29: "视觉输入", 30: "光标", 31: "退出", 32: "关闭", 33: "无", 34: "摄像头",
    47: en[47], 48: en[48], 49: "文字大小",
    54: "预测顺序", 55: "按字母顺序", 56: "常用词优先", 58: "忘记我的词", 63: "关闭"
};

var ja = {
    1: "Kelo#", 2: "言語", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "オプション", 12: "起動時に実行", 13: "キーボードの単語予測", 14: "サウンド",
    15: "段階的な速度", 16: "表示", 17: "標準", 18: "キーボード", 19: "マウス",
    20: "位置", 21: "デバイス", 22: "速度", 23: "左上", 24: "右上", 25: "中央",
    26: "左下", 27: "右下",
    29: "視覚入力", 30: "カーソル", 31: "終了", 32: "閉じる", 33: "なし", 34: "Webカメラ",
    47: en[47], 48: en[48], 49: "文字サイズ",
    54: "予測の順序", 55: "アルファベット順", 56: "よく使う順", 58: "自分の単語を忘れる", 63: "オフ"
};

var hr = {
    1: "Kelo#", 2: "Jezik", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Opcije", 12: "Pokreni pri pokretanju sustava", 13: "Predviđanje riječi na tipkovnici",
    14: "Zvuk", 15: "Rastuća brzina", 16: "Prikaz", 17: "Normalno", 18: "Tipkovnica",
    19: "Miš", 20: "Položaj", 21: "Uređaji", 22: "Brzina", 23: "Gore lijevo",
    24: "Gore desno", 25: "Sredina", 26: "Dolje lijevo", 27: "Dolje desno",
    28: "Upravljanje", 29: "Vizualni unos", 30: "Pokazivač", 31: "Izlaz", 32: "Izađi",
    33: "Ništa", 34: "Web-kamera",
    47: en[47], 48: en[48], 49: "Veličina teksta",
    54: "Redoslijed prijedloga", 55: "Abecedno", 56: "Najčešće prvo", 58: "Zaboravi moje riječi",
    63: "Isključeno"
};

var it = {
    1: "Kelo#", 2: "Lingua", 3: "English", 4: "Français", 5: "Español", 6: "Deutsch",
    7: "Hrvatski", 8: "Italiano", 9: "中文", 10: "日本語",
    11: "Opzioni", 12: "Esegui all'avvio", 13: "Previsione delle parole da tastiera",
    14: "Suono", 15: "Velocità incrementale", 16: "Visualizza", 17: "Normale",
    18: "Tastiera", 19: "Mouse", 20: "Posizione", 21: "Dispositivi", 22: "Velocità",
    23: "In alto a sinistra", 24: "In alto a destra", 25: "Centro",
    26: "In basso a sinistra", 27: "In basso a destra",
    29: "Input visivo", 30: "Cursore", 31: "Esci", 32: "Uscita", 33: "Nessuno",
    34: "Webcam",
    47: en[47], 48: en[48], 49: "Dimensione del testo",
    54: "Ordine dei suggerimenti", 55: "Alfabetico", 56: "Prima i più frequenti",
    57: "Frequenti, e le mie parole", 58: "Dimentica le mie parole",
    60: "Ignora le pressioni ripetute", 61: "Tieni premuto per scegliere", 63: "No"
};

// Accented letters and the Spanish opening signs, the likeliest first for each language, then
// the rest in one order; eight to a group, for the accents layer.
var accentOrder = {
    fr: "éàèçêôîâùûëïüœ",
    es: "áéíóñúü¿¡",
    de: "üäößé",
    en: "éèñüöäàç"
};
var accentsAll = "éèêëàâäáçñßùûüúôöóîïíœ¿¡";

function accents(code) {
    var first = has(accentOrder, code) ? accentOrder[code] : "";
    var out = [];
    var all = first + accentsAll;
    for (var i = 0; i < all.length; ++i) {
        if (out.indexOf(all[i]) < 0)
            out.push(all[i]);
    }
    return out;
}

var tables = { en: en, fr: fr, es: es, de: de, pt: pt, zh: zh, ja: ja, hr: hr, it: it };

// Labels added to the tables by language: each number with its text, or, from first on, a list.
function addLabels(byLanguage, first) {
    for (var code in byLanguage) {
        for (var n in byLanguage[code])
            tables[code][first === undefined ? n : first + Number(n)] = byLanguage[code][n];
    }
}

// Point mode, in every language: the centre list's last entry (140), its two options (141 opens
// the mouse view in point mode, 142 the accelerating arrows) and the click list (143).
var pointLabels = {
    en: { 140: "point", 141: "Mouse view opens in point mode", 142: "Accelerating arrows",
          143: ["Click", "left click", "right click", "double click", "held click", "cancel"] },
    fr: { 140: "pointer", 141: "Vue souris en mode pointage", 142: "Flèches accélérées",
          143: ["Clic", "clic gauche", "clic droit", "double clic", "clic tenu", "annuler"] },
    es: { 140: "apuntar", 141: "Vista ratón en modo apuntar", 142: "Flechas con aceleración",
          143: ["Clic", "clic izquierdo", "clic derecho", "doble clic", "mantener", "cancelar"] },
    de: { 140: "zeigen", 141: "Mausansicht im Zeigemodus", 142: "Beschleunigende Pfeile",
          143: ["Klick", "Linksklick", "Rechtsklick", "Doppelklick", "Halten", "Abbrechen"] },
    pt: { 140: "apontar", 141: "Vista do mouse no modo apontar", 142: "Setas com aceleração",
          143: ["Clique", "clique esquerdo", "clique direito", "clique duplo", "manter", "cancelar"] },
    zh: { 140: "指点", 141: "鼠标视图以指点模式打开", 142: "加速箭头",
          143: ["点击", "左键单击", "右键单击", "双击", "按住", "取消"] },
    ja: { 140: "ポイント", 141: "マウス表示をポイントモードで開く", 142: "加速する矢印",
          143: ["クリック", "左クリック", "右クリック", "ダブルクリック", "押したまま", "キャンセル"] },
    hr: { 140: "pokaži", 141: "Prikaz miša u načinu pokazivanja", 142: "Strelice s ubrzanjem",
          143: ["Klik", "lijevi klik", "desni klik", "dvostruki klik", "držanje", "odustani"] },
    it: { 140: "puntare", 141: "Vista mouse in modalità puntamento", 142: "Frecce con accelerazione",
          143: ["Clic", "clic sinistro", "clic destro", "doppio clic", "tieni premuto", "annulla"] }
};
addLabels(pointLabels);

// Plain words beside the labels that say little on their own: the captions of the first two
// sliders (190, 191), the names said for "pause" and "move" (192, 193), and where the help page
// is when no browser opens it (194, the page and the command that opens it).
var plainLabels = {
    en: { 190: "time each choice stays lit", 191: "time per pointer step (shorter is faster)",
          192: "pause: hide the window until the next press", 193: "move the window to the next corner",
          194: "No browser could be started. The help page is %1; open it with: %2" },
    fr: { 190: "durée d'allumage de chaque choix", 191: "durée d'un pas du pointeur (plus court = plus vite)",
          192: "pause : cacher la fenêtre jusqu'au prochain appui", 193: "déplacer la fenêtre au coin suivant",
          194: "Aucun navigateur n'a pu être lancé. La page d'aide est %1 ; ouvrez-la avec : %2" },
    es: { 190: "tiempo que se ilumina cada opción", 191: "tiempo por paso del puntero (menos es más rápido)",
          192: "pausa: ocultar la ventana hasta la próxima pulsación", 193: "mover la ventana a la esquina siguiente",
          194: "No se pudo abrir ningún navegador. La página de ayuda es %1; ábrala con: %2" },
    de: { 190: "so lange leuchtet jede Wahl", 191: "Zeit pro Zeigerschritt (kürzer ist schneller)",
          192: "Pause: Fenster bis zum nächsten Druck ausblenden", 193: "Fenster in die nächste Ecke verschieben",
          194: "Kein Browser ließ sich starten. Die Hilfeseite ist %1; öffnen mit: %2" }
};
addLabels(plainLabels);

// Language numbers of the menu and the native side; no number selects "pt".
var codes = { 1: "en", 2: "fr", 3: "es", 4: "de", 5: "hr", 6: "it", 7: "zh", 8: "ja" };

function has(o, k) {
    return Object.prototype.hasOwnProperty.call(o, k);
}

// The key injector speaks Windows virtual-key codes on Linux too, so Linux shows the Windows key names.
function windowsKeys() {
    return wind.os === "windows" || wind.os === "linux";
}

// Entry n of table t, or the marker 1 when the table has none. Lists are
// handed out as copies so no caller can alter the table.
function entry(t, n) {
    if (!has(t, n))
        return 1;
    var e = t[n];
    if (e.windows !== undefined)
        e = windowsKeys() ? e.windows : e.other;
    return Array.isArray(e) ? e.slice() : e;
}

// lang(n[, code]): label n in the current language or in `code`, falling back
// to English; 0 for an unknown code. A current language without a table (a
// damaged settings file) reads as English, so the window is never blank.
// lang(0, k): set the language from its number k and return 0.
function lang(l, m) {
    if (l === 0) {
        if (has(codes, m))
            wind.lang = codes[m];
        return 0;
    }
    if (m === undefined)
        m = has(tables, wind.lang) ? wind.lang : "en";
    if (!has(tables, m))
        return 0;
    var e = entry(tables[m], l);
    return e === 1 ? entry(en, l) : e;
}

// Labels of prediction by context, one line per table: the order, pausing learning, the
// likeliest letters' group and keeping password fields private (165).
var contextLabels = {
    en: { 80: "By context and my words", 81: "Pause learning", 82: "Likeliest letters first", 165: "Nothing learned or said in password fields" },
    fr: { 80: "Selon le contexte et mes mots", 81: "Suspendre l'apprentissage", 82: "Lettres probables d'abord", 165: "Rien d'appris ni de lu dans les champs de mot de passe" },
    es: { 80: "Según el contexto y mis palabras", 81: "Pausar el aprendizaje", 82: "Letras probables primero", 165: "Nada aprendido ni leído en campos de contraseña" },
    de: { 80: "Nach Zusammenhang und meinen Wörtern", 81: "Lernen anhalten", 82: "Wahrscheinliche Buchstaben zuerst", 165: "In Passwortfeldern nichts lernen oder vorlesen" },
    pt: { 80: "Pelo contexto e as minhas palavras", 81: "Pausar a aprendizagem", 82: "Letras prováveis primeiro" },
    zh: { 80: "按上下文和我的词", 81: "暂停学习", 82: "可能的字母优先" },
    ja: { 80: "文脈と自分の単語で", 81: "学習を一時停止", 82: "可能性の高い文字を先に" },
    hr: { 80: "Prema kontekstu i mojim riječima", 81: "Pauziraj učenje", 82: "Vjerojatna slova prvo" },
    it: { 80: "Per contesto e le mie parole", 81: "Sospendi l'apprendimento", 82: "Lettere probabili prima" }
};
addLabels(contextLabels);

// Labels of settings not saved (161, with the reasons 162), and of leaving Kelo#: the Quit menu's
// entry (163) and the question KeyB's last entry asks (164, title and the entry that closes).
var leavingLabels = {
    en: { 161: "Settings are not being saved: %1.", 162: ["", "%1 is read-only", "the folder %1 is read-only", "the disk is full", "%1 cannot be written"],
          163: "Quit Kelo#", 164: ["Close Kelo#?", "yes, close Kelo#"] },
    fr: { 161: "Les réglages ne sont pas enregistrés : %1.", 162: ["", "%1 est en lecture seule", "le dossier %1 est en lecture seule", "le disque est plein", "%1 ne peut pas être écrit"],
          163: "Quitter Kelo#", 164: ["Fermer Kelo# ?", "oui, fermer Kelo#"] },
    es: { 161: "La configuración no se está guardando: %1.", 162: ["", "%1 es de solo lectura", "la carpeta %1 es de solo lectura", "el disco está lleno", "no se puede escribir %1"],
          163: "Salir de Kelo#", 164: ["¿Cerrar Kelo#?", "sí, cerrar Kelo#"] },
    de: { 161: "Die Einstellungen werden nicht gespeichert: %1.", 162: ["", "%1 ist schreibgeschützt", "der Ordner %1 ist schreibgeschützt", "der Datenträger ist voll", "%1 kann nicht geschrieben werden"],
          163: "Kelo# beenden", 164: ["Kelo# beenden?", "ja, Kelo# beenden"] }
};
addLabels(leavingLabels);

// Labels of typing: the way back out of a list (150), the typing aids' options (151, 152) and
// acting on what was lit when the switch went down rather than at its release (160).
var typingLabels = {
    en: { 150: "« back", 151: "Capitals at the start of a sentence", 152: "Spaces around punctuation after a word",
          160: "Act when the switch goes down" },
    fr: { 150: "« retour", 151: "Majuscule en début de phrase", 152: "Espaces autour de la ponctuation après un mot",
          160: "Agir dès que le contacteur est enfoncé" },
    es: { 150: "« volver", 151: "Mayúscula al empezar una frase", 152: "Espacios junto a la puntuación tras una palabra",
          160: "Actuar en cuanto se pulsa el pulsador" },
    de: { 150: "« zurück", 151: "Großbuchstaben am Satzanfang", 152: "Leerzeichen an Satzzeichen nach einem Wort",
          160: "Auslösen, sobald der Taster gedrückt wird" },
    it: { 160: "Agire quando il sensore viene premuto" }
};
addLabels(typingLabels);

// The command that turns on Kelo#'s GNOME Shell extension (195).
var setupLabels = {
    en: { 195: "For Kelo# to type, point and stay above every window here, turn on its GNOME extension: run %1 in a terminal, then start Kelo# again." },
    fr: { 195: "Pour que Kelo# écrive, pointe et reste au-dessus des fenêtres ici, activez son extension GNOME : lancez %1 dans un terminal, puis redémarrez Kelo#." },
    es: { 195: "Para que Kelo# escriba, señale y quede encima de todas las ventanas aquí, active su extensión de GNOME: ejecute %1 en un terminal y vuelva a iniciar Kelo#." },
    de: { 195: "Damit Kelo# hier schreiben, zeigen und über allen Fenstern bleiben kann, schalten Sie seine GNOME-Erweiterung ein: Führen Sie %1 im Terminal aus und starten Sie Kelo# neu." }
};
addLabels(setupLabels);

// The pad's step button: choosing it (196), none (197), the countdown (198), chosen (199), and
// no button pressed (200).
var stepLabels = {
    en: ["Choose the step button…", "No step button", "Press the game pad button that will step (%1 s). Escape cancels.",
         "Button %1 of the game pad steps now.", "No button was pressed: the step button stays as it was."],
    fr: ["Choisir le bouton qui avance…", "Aucun bouton qui avance", "Appuyez sur le bouton de la manette qui fera avancer (%1 s). Échap annule.",
         "Le bouton %1 de la manette fait avancer maintenant.", "Aucun bouton appuyé : le bouton qui avance reste le même."],
    es: ["Elegir el botón que avanza…", "Ningún botón que avanza", "Pulse el botón del mando que hará avanzar (%1 s). Escape cancela.",
         "El botón %1 del mando hace avanzar ahora.", "No se pulsó ningún botón: el botón que avanza no cambia."],
    de: ["Weiterschalt-Knopf wählen…", "Kein Weiterschalt-Knopf", "Drücken Sie den Gamepad-Knopf, der weiterschalten soll (%1 s). Escape bricht ab.",
         "Knopf %1 des Gamepads schaltet jetzt weiter.", "Kein Knopf gedrückt: der Weiterschalt-Knopf bleibt, wie er war."],
    pt: ["Escolher o botão que avança…", "Nenhum botão que avança", "Prima o botão do comando que fará avançar (%1 s). Escape cancela.",
         "O botão %1 do comando faz avançar agora.", "Nenhum botão premido: o botão que avança fica como estava."],
    zh: ["选择步进按钮…", "无步进按钮", "请按下用于步进的游戏手柄按钮（%1 秒）。Esc 取消。",
         "游戏手柄的按钮 %1 现在用于步进。", "没有按下按钮：步进按钮保持不变。"],
    ja: ["ステップボタンを選ぶ…", "ステップボタンなし", "ステップに使うゲームパッドのボタンを押してください（%1 秒）。Esc で取り消し。",
         "ゲームパッドのボタン %1 でステップします。", "ボタンが押されませんでした。ステップボタンは変わりません。"],
    hr: ["Odaberi gumb za korak…", "Bez gumba za korak", "Pritisnite gumb igraće palice koji će pomicati (%1 s). Escape odustaje.",
         "Gumb %1 igraće palice sada pomiče.", "Nijedan gumb nije pritisnut: gumb za korak ostaje kakav je bio."],
    it: ["Scegli il pulsante che avanza…", "Nessun pulsante che avanza", "Premi il pulsante del gamepad che farà avanzare (%1 s). Esc annulla.",
         "Il pulsante %1 del gamepad ora fa avanzare.", "Nessun pulsante premuto: il pulsante che avanza resta com'era."]
};
addLabels(stepLabels, 196);

// Labels of the pace: fitted or suggested (180, 181, said as 182, 183), the helper's bounds (184,
// 185), the scan modes (186), the suggestion's line (187, 188) and KeyB's entry (189: to fit, to fix).
var paceLabels = {
    en: { 180: "Fit the pace to me", 181: "Suggest a pace", 182: "The pace follows you: %1 ms now",
          183: "Fixed pace: %1 ms", 184: "Fastest pace", 185: "Slowest pace",
          186: ["Scan mode", "Timed", "Moves while the switch is held", "Fast, then slowly back",
                "Two switches: the switch key or step button steps"],
          187: "Suggested pace: %1 ms", 188: "Take it", 189: ["fit pace", "fixed pace"] },
    fr: { 180: "Adapter le rythme à moi", 181: "Proposer un rythme", 182: "Le rythme vous suit : %1 ms",
          183: "Rythme fixe : %1 ms", 184: "Rythme le plus rapide", 185: "Rythme le plus lent",
          186: ["Mode de défilement", "Minuté", "Avance tant que le contacteur est enfoncé",
                "Rapide, puis lentement en arrière", "Deux contacteurs : la touche du contacteur ou le bouton qui avance"],
          187: "Rythme proposé : %1 ms", 188: "L'adopter", 189: ["rythme adapté", "rythme fixe"] },
    es: { 180: "Ajustar el ritmo a mí", 181: "Sugerir un ritmo", 182: "El ritmo le sigue: %1 ms",
          183: "Ritmo fijo: %1 ms", 184: "Ritmo más rápido", 185: "Ritmo más lento",
          186: ["Modo de barrido", "Temporizado", "Avanza mientras se mantiene el pulsador",
                "Rápido, y luego despacio hacia atrás", "Dos pulsadores: la tecla del pulsador o el botón que avanza"],
          187: "Ritmo sugerido: %1 ms", 188: "Aplicarlo", 189: ["ritmo ajustado", "ritmo fijo"] },
    de: { 180: "Tempo an mich anpassen", 181: "Tempo vorschlagen", 182: "Das Tempo folgt Ihnen: %1 ms",
          183: "Festes Tempo: %1 ms", 184: "Schnellstes Tempo", 185: "Langsamstes Tempo",
          186: ["Scan-Modus", "Getaktet", "Läuft, solange der Taster gehalten wird",
                "Schnell, dann langsam zurück", "Zwei Taster: Tastertaste oder Weiterschalt-Knopf schaltet weiter"],
          187: "Vorgeschlagenes Tempo: %1 ms", 188: "Übernehmen", 189: ["Tempo anpassen", "festes Tempo"] }
};
addLabels(paceLabels);
