import QtQuick
import QtQuick.Controls.Fusion
import Brivane.Resources

// A choice from a short list, shown flat like the program's other fields
// (a quiet rounded box) with a chevron; the list drops down on a click,
// Space or Alt+Down. Use it as a ComboBox: model, textRole, currentIndex,
// onActivated, and a delegate of your own where the entries need more than
// their text.
ComboBox {
    id: control

    // A symbol after the chosen entry's text (a mark of where it comes from).
    property string symbol: ""
    property color symbolColor: Theme.secondary

    font: Theme.font(13)
    hoverEnabled: true
    leftPadding: 7
    rightPadding: 22
    topPadding: 3
    bottomPadding: 3
    implicitHeight: Math.max(22, contentItem.implicitHeight + topPadding + bottomPadding)

    contentItem: Row {
        spacing: 5
        Text {
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, control.availableWidth - (mark.visible ? mark.width + 5 : 0))
            text: control.displayText
            font: control.font
            color: Theme.primary
            elide: Text.ElideRight
        }
        SymbolIcon {
            id: mark
            anchors.verticalCenter: parent.verticalCenter
            visible: control.symbol !== ""
            name: control.symbol
            size: 11
            color: control.symbolColor
        }
    }
    indicator: SymbolIcon {
        x: control.width - width - 7
        y: (control.height - height) / 2
        name: "chevron.down"
        size: 9
        color: Theme.secondary
    }
    background: Rectangle {
        radius: 5
        color: Theme.alpha(Theme.primary, control.hovered || control.pressed ? 0.09 : 0.06)
        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            radius: 6
            visible: control.visualFocus
        }
    }
}
