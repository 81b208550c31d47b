// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// The first-run window's main button: white text and symbol on the accent
// colour ("Continue", "Get Started", "Grant Calendar Access").
T.AbstractButton {
    id: control

    property string symbol: ""
    property int symbolSize: 12
    property bool busy: false
    property bool symbolFirst: false

    font: Theme.font(13, Font.Medium)
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    leftPadding: 16
    rightPadding: 16
    topPadding: 8
    bottomPadding: 8
    spacing: 6
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    opacity: pressed ? 0.75 : 1

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: control.clicked()
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: Item {
        implicitWidth: content.implicitWidth
        implicitHeight: content.implicitHeight
        Row {
            id: content
            anchors.centerIn: parent
            spacing: control.spacing
            layoutDirection: control.symbolFirst ? Qt.LeftToRight : Qt.RightToLeft

            // A small spinner while something runs, else the symbol.
            Item {
                anchors.verticalCenter: parent.verticalCenter
                width: control.busy || control.symbol !== "" ? control.symbolSize : 0
                height: control.symbolSize
                SymbolIcon {
                    anchors.centerIn: parent
                    visible: !control.busy && control.symbol !== ""
                    name: control.symbol
                    size: control.symbolSize
                    color: Theme.white
                }
                Item {
                    anchors.fill: parent
                    visible: control.busy
                    Rectangle {
                        anchors.fill: parent
                        radius: width / 2
                        color: "transparent"
                        border.width: 2
                        border.color: Theme.alpha(Theme.white, 0.35)
                    }
                    Rectangle {
                        width: 4
                        height: 4
                        radius: 2
                        x: (parent.width - width) / 2
                        color: Theme.white
                    }
                    RotationAnimator on rotation {
                        running: control.busy
                        from: 0
                        to: 360
                        duration: 900
                        loops: Animation.Infinite
                    }
                }
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                font: control.font
                color: Theme.white
                Accessible.ignored: true
            }
        }
    }
    background: Rectangle {
        radius: 8
        color: Theme.accent
        FocusRing {
            anchors.fill: parent
            anchors.margins: -3
            radius: 10
            visible: control.visualFocus
        }
    }
}
