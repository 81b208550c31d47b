// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A choice from a short list, shown flat like the program's other fields
// (a quiet rounded box) with a chevron. A click, Space or Alt+Down drops the
// list (upwards when there is no room below); Up and Down choose without
// it. Use it as a ComboBox: model, textRole, currentIndex, onActivated, and
// a MenuPickerItem delegate of your own where entries need more than text.
T.ComboBox {
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
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(22, implicitContentHeight + topPadding + bottomPadding)

    delegate: MenuPickerItem {
        required property int index
        required property var model
        width: ListView.view ? ListView.view.width : implicitWidth
        text: control.textRole ? model[control.textRole] : model.modelData
        highlighted: control.highlightedIndex === index
    }

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

    popup: T.Popup {
        // Below the field, or above it when the window ends first.
        readonly property real roomBelow: control.Window.height - control.mapToItem(null, 0, control.height).y
        y: roomBelow >= implicitHeight + 4 ? control.height + 2 : -implicitHeight - 2
        width: control.width
        implicitHeight: Math.min(contentItem.implicitHeight + topPadding + bottomPadding, 260)
        padding: 4
        closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutside

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
        }
        background: Item {
            SoftShadow {
                anchors.fill: panel
                anchors.margins: -extent
                cornerRadius: 6
                blur: 10
                offsetY: 2
                color: Theme.alpha(Theme.black, 0.2)
            }
            Rectangle {
                id: panel
                anchors.fill: parent
                radius: 6
                color: Theme.windowBackground
                border.width: 1
                border.color: Theme.alpha(Theme.black, 0.12)
            }
        }
    }
}
