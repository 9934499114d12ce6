import QtQuick
import @KELO_SETTINGS_IMPORT@
Window { title: "Kelo#" }
