// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// The Zoho connection: its state and Connect (which opens the code-entry
// sheet) or Disconnect (at once, without a question).
Item {
    id: row

    required property IntegrationsTabViewModel viewModel

    signal keyboardFocused(Item item)

    implicitHeight: layout.implicitHeight + 18
    Accessible.role: Accessible.Grouping
    Accessible.name: qsTr("Zoho Calendar") + ", " + viewModel.zohoSubtitle

    Rectangle {
        anchors.fill: parent
        color: hover.hovered ? Theme.alpha(Theme.primary, 0.04) : "transparent"
    }
    HoverHandler {
        id: hover
    }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 9
        anchors.bottomMargin: 9
        spacing: 12

        Rectangle {
            implicitWidth: 38
            implicitHeight: 38
            radius: 9
            color: Theme.alpha(Theme.zoho, row.viewModel.zohoConnected ? 0.18 : 0.09)
            SymbolIcon {
                anchors.centerIn: parent
                name: "cloud.fill"
                size: 17
                color: Theme.zoho
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: qsTr("Zoho Calendar")
                font: Theme.font(13, Font.Medium)
                color: Theme.alpha(Theme.primary, 0.7)
                Accessible.ignored: true
            }
            Text {
                objectName: "zohoSubtitle"
                Layout.fillWidth: true
                text: row.viewModel.zohoSubtitle
                font: Theme.font(11)
                color: Theme.secondary
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }
        BorderedButton {
            objectName: "connectZoho"
            visible: !row.viewModel.zohoConnected
            text: qsTr("Connect")
            symbol: "key.fill"
            Accessible.name: qsTr("Connect Zoho Calendar")
            onClicked: row.viewModel.openCodeSheet()
            onActiveFocusChanged: if (activeFocus) row.keyboardFocused(row)
        }
        BorderedButton {
            objectName: "disconnectZoho"
            visible: row.viewModel.zohoConnected
            text: qsTr("Disconnect")
            font: Theme.font(12, Font.Medium)
            Accessible.name: qsTr("Disconnect Zoho Calendar")
            onClicked: row.viewModel.disconnectZoho()
            onActiveFocusChanged: if (activeFocus) row.keyboardFocused(row)
        }
    }
}
