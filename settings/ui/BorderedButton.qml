// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A button with a light frame (and, when `prominent`, filled with the
// accent colour): "Set up", "Copy scopes", "Connect". Space or Return
// presses it when it has focus.
T.AbstractButton {
    id: control

    property string symbol: ""
    property int symbolSize: 11
    property bool prominent: false
    property bool busy: false
    property string hoverHelp: ""
    readonly property color foreground: prominent ? Theme.white : Theme.primary

    font: Theme.font(12, prominent ? Font.Medium : Font.Normal)
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    leftPadding: 10
    rightPadding: 10
    topPadding: 4
    bottomPadding: 4
    spacing: 5
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(22, implicitContentHeight + topPadding + bottomPadding)
    opacity: enabled ? (pressed ? 0.7 : 1) : 0.45

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.description: hoverHelp
    Accessible.onPressAction: control.clicked()
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    HoverHelp {
        text: control.hoverHelp
        visible: control.hovered && control.hoverHelp !== ""
    }

    contentItem: Item {
        implicitWidth: content.implicitWidth
        implicitHeight: content.implicitHeight
        Row {
            id: content
            anchors.centerIn: parent
            spacing: control.spacing

            // A small spinner while something runs.
            Item {
                visible: control.busy
                width: 12
                height: 12
                anchors.verticalCenter: parent.verticalCenter
                Rectangle {
                    anchors.fill: parent
                    radius: 6
                    color: "transparent"
                    border.width: 2
                    border.color: Theme.alpha(control.foreground, 0.3)
                }
                Rectangle {
                    width: 4
                    height: 4
                    radius: 2
                    x: 4
                    y: 0
                    color: control.foreground
                }
                RotationAnimator on rotation {
                    running: control.busy
                    from: 0
                    to: 360
                    duration: 900
                    loops: Animation.Infinite
                }
            }
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.symbol !== "" && !control.busy
                name: control.symbol
                size: control.symbolSize
                color: control.foreground
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                font: control.font
                color: control.foreground
                Accessible.ignored: true
            }
        }
    }
    background: Rectangle {
        radius: 6
        color: control.prominent ? Theme.accent : Theme.alpha(Theme.primary, control.hovered ? 0.1 : 0.06)
        border.width: control.prominent ? 0 : 1
        border.color: Theme.alpha(Theme.primary, 0.15)
        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            radius: 7
            visible: control.visualFocus
        }
    }
}
