// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A section's title as a button that opens and closes the section: the
// chevron turns right while closed, and a closed section shows its count.
T.AbstractButton {
    id: control

    property bool expanded: true
    property string countText: ""

    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    padding: 2
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    Accessible.role: Accessible.Button
    Accessible.name: countText === "" ? text : text + " " + countText
    Accessible.description: expanded ? qsTr("Expanded") : qsTr("Collapsed")
    Accessible.onPressAction: control.clicked()
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: Row {
        spacing: 5

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.down"
            size: 9
            color: Theme.secondary
            rotation: control.expanded ? 0 : -90
            Behavior on rotation {
                NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
            }
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: control.text.toUpperCase()
            font: Theme.font(11, Font.DemiBold)
            color: Theme.secondary
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            visible: control.countText !== ""
            text: control.countText
            font: Theme.font(10)
            color: Theme.alpha(Theme.secondary, 0.6)
        }
    }

    background: Item {
        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            visible: control.visualFocus
        }
    }
}
