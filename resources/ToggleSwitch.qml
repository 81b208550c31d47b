// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// An on/off switch: a pill in the accent colour when on, a quiet grey when
// off. Space toggles it when it has focus; give it an Accessible.name (or a
// text, which it does not draw) for screen readers.
T.Switch {
    id: control

    padding: 0
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    implicitWidth: indicator.implicitWidth
    implicitHeight: indicator.implicitHeight

    Keys.onReturnPressed: { control.toggle(); control.toggled() }
    Keys.onEnterPressed: { control.toggle(); control.toggled() }

    indicator: Rectangle {
        implicitWidth: 32
        implicitHeight: 18
        radius: height / 2
        color: control.checked ? Theme.accent : Theme.alpha(Theme.primary, control.hovered ? 0.2 : 0.15)
        Behavior on color {
            ColorAnimation { duration: 150 }
        }

        Rectangle {
            width: parent.height - 4
            height: width
            radius: width / 2
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: Theme.white
            border.width: 1
            border.color: Theme.alpha(Theme.black, 0.08)
            Behavior on x {
                NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
            }
        }
        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            radius: height / 2
            visible: control.visualFocus
        }
    }
    contentItem: Item {}
}
