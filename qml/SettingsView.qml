import QtQuick
import QtQuick.Controls

// The settings view: a line telling how to start, then the scan period, the pointer's speed and
// the text size on sliders, the first two with what they set in plain words beside them, above
// the press indicator.
Item {
    id: norm
    objectName: "norm"
    // The window (its settings and text size), its scanning logic (the window's kel()) and its
    // labels (lang.js's lang()); the scripts stay the window's, with their state.
    required property var wind
    required property var kel
    required property var tr
    // The press indicator's height, kept clear at the foot.
    property real indicatorHeight: 0
    readonly property alias s1: s1
    readonly property alias s2: s2
    readonly property alias s3: s3
    // Rows: a line telling how to start, then the three sliders above the indicator.
    readonly property real hintHeight: (height - indicatorHeight) / 5
    readonly property real rowStep: (height - indicatorHeight - hintHeight) / 3
    onVisibleChanged: {
        if (visible)
            kel.viewShown(1);
    }

    // The values a first start has.
    function reset() {
        s1.value = 1000;
        s2.value = 8;
        s3.value = 1;
    }

    Text {
        objectName: "hint"
        text: tr(wind.keysRead ? 104 : 105)
        x: norm.width * 0.02
        width: norm.width * 0.96
        height: norm.hintHeight
        wrapMode: Text.WordWrap
        font.pixelSize: wind.sizp * 0.8
        fontSizeMode: Text.Fit
        minimumPixelSize: 6
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: "dimgray"
    }

    // Each row: its caption at the left, the slider, its value at the right; captions and
    // values shrink to their column at large text sizes rather than leave the window.
    Repeater {
        model: [
            { slider: s1, label: 30, caption: 190, value: () => Math.round(s1.value) + " ms", name: "s1text" },
            { slider: s2, label: 22, caption: 191, value: () => Math.round(s2.value) + " ms", name: "s2text" },
            { slider: s3, label: 49, caption: 0, value: () => Math.round(s3.value * 100) / 100 + "x", name: "s3text" }
        ]
        Item {
            required property var modelData
            Text {
                objectName: "label" + modelData.label
                text: tr(modelData.label)
                font.pixelSize: wind.sizp
                fontSizeMode: Text.Fit
                minimumPixelSize: 6
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                x: norm.width * 0.01
                width: norm.width * 0.2
                height: norm.rowStep
                y: modelData.slider.y + (modelData.slider.height - height) / 2
            }
            // What the slider sets, in plain words, beside it.
            Text {
                objectName: "caption" + modelData.label
                visible: modelData.caption > 0
                text: visible ? tr(modelData.caption) : ""
                font.pixelSize: wind.sizp * 0.75
                fontSizeMode: Text.Fit
                minimumPixelSize: 6
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignLeft
                verticalAlignment: Text.AlignVCenter
                color: "dimgray"
                x: norm.width * 0.63
                width: norm.width * 0.24
                height: norm.rowStep
                y: modelData.slider.y + (modelData.slider.height - height) / 2
            }
            Text {
                objectName: modelData.name
                text: modelData.value()
                font.pixelSize: wind.sizp
                fontSizeMode: Text.Fit
                minimumPixelSize: 6
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                x: norm.width * 0.88
                width: norm.width * 0.11
                height: norm.rowStep
                y: modelData.slider.y + (modelData.slider.height - height) / 2
            }
        }
    }

    Slider {
        id: s1
        objectName: "s1"
        from: 250
        to: 5000
        stepSize: 50
        snapMode: Slider.SnapAlways
        value: wind.s1v
        x: norm.width * 0.22
        width: norm.width * 0.4
        y: norm.hintHeight + 0.5 * norm.rowStep - height / 2
        onValueChanged: wind.s1v = value
    }
    Slider {
        id: s2
        objectName: "s2"
        from: 1
        to: 20
        stepSize: 1
        snapMode: Slider.SnapAlways
        value: wind.s2v
        x: norm.width * 0.22
        width: norm.width * 0.4
        y: norm.hintHeight + 1.5 * norm.rowStep - height / 2
        onValueChanged: wind.s2v = value
    }
    Slider {
        id: s3
        objectName: "s3"
        from: 0.5
        to: 2
        stepSize: 0.25
        snapMode: Slider.SnapAlways
        value: wind.s3v
        x: norm.width * 0.22
        width: norm.width * 0.4
        y: norm.hintHeight + 2.5 * norm.rowStep - height / 2
        onValueChanged: wind.s3v = value
    }
}
