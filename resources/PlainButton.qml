// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A borderless button showing a symbol, a text or both in one colour, as
// toolbars and popovers use them. Space or Return presses it when it has
// focus; a screen reader reads its text, or its hover help when it shows
// only a symbol.
//
//   PlainButton { symbol: "plus"; symbolSize: 11; hoverHelp: qsTr("New Event"); onClicked: … }
//   PlainButton { text: qsTr("Quit"); font: Theme.font(12) }
T.AbstractButton {
    id: control

    // A symbol name of SymbolIcons ("chevron.left", "trash", …); empty for none.
    property string symbol: ""
    property int symbolSize: 13
    // The colour of the symbol and the text.
    property color color: Theme.secondary
    // Shown on hover, and read as the name when there is no text.
    property string hoverHelp: ""
    // The area behind the content: transparent unless set.
    property color backgroundColor: "transparent"
    property real backgroundRadius: 4
    // Where the content sits when the button is wider than it: Qt.AlignLeft,
    // Qt.AlignHCenter or Qt.AlignRight.
    property int horizontalAlignment: Qt.AlignHCenter

    font: Theme.font(13)
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    padding: 2
    spacing: 4
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    opacity: pressed ? 0.55 : 1

    Accessible.role: Accessible.Button
    Accessible.name: text !== "" ? text : hoverHelp
    Accessible.description: text !== "" && hoverHelp !== text ? hoverHelp : ""
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
            anchors.verticalCenter: parent.verticalCenter
            x: control.horizontalAlignment === Qt.AlignLeft ? 0
               : control.horizontalAlignment === Qt.AlignRight ? parent.width - width
               : Math.round((parent.width - width) / 2)
            spacing: control.symbol !== "" && control.text !== "" ? control.spacing : 0

            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.symbol !== ""
                name: control.symbol
                size: control.symbolSize
                color: control.color
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.text !== ""
                text: control.text
                font: control.font
                color: control.color
                Accessible.ignored: true
            }
        }
    }

    background: Rectangle {
        color: control.backgroundColor
        radius: control.backgroundRadius

        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            visible: control.visualFocus
        }
    }
}
