// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// Where calendars come from: the desktop's accounts (marked connected when
// the calendar store has one of their kind) and the Zoho connection.
ScrollPage {
    id: tab

    required property IntegrationsTabViewModel viewModel

    objectName: "integrationsTab"
    Accessible.role: Accessible.PageTab
    Accessible.name: qsTr("Integrations")

    SectionHeader {
        title: qsTr("Calendar Sources")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 6
    }
    Text {
        width: tab.width
        leftPadding: 20
        rightPadding: 20
        bottomPadding: 14
        text: qsTr("Integrations connect through the desktop's calendars. Connected accounts appear in your Calendars tab automatically.")
        font: Theme.font(12)
        color: Theme.secondary
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    Repeater {
        model: tab.viewModel
        IntegrationRow {
            required property int index
            required property string name
            required property string subtitle
            required property bool connected
            required property string icon
            required property color iconColor
            required property string setupText
            required property string setupHelp
            objectName: "integration " + name
            width: tab.width
            title: name
            subtitleText: subtitle
            isConnected: connected
            symbol: icon
            tileColor: iconColor
            setupButtonText: setupText
            setupButtonHelp: setupHelp
            onSetUp: tab.viewModel.setUp(index)
            onKeyboardFocused: (item) => tab.ensureVisible(item)
        }
    }
    Item {
        width: tab.width
        height: 9
        Divider {
            anchors.bottom: parent.bottom
            width: parent.width
            inset: 20
        }
    }
    ZohoIntegrationRow {
        objectName: "zohoRow"
        width: tab.width
        viewModel: tab.viewModel
        onKeyboardFocused: (item) => tab.ensureVisible(item)
    }
    Item {
        visible: tab.viewModel.showsClientIdNote
        width: tab.width
        height: visible ? note.implicitHeight + 14 : 0
        Accessible.role: Accessible.StaticText
        Accessible.name: tab.viewModel.clientIdNote

        RowLayout {
            id: note
            objectName: "clientIdNote"
            x: 20
            y: 10
            width: parent.width - 40
            spacing: 6
            SymbolIcon {
                Layout.alignment: Qt.AlignTop
                name: "info.circle"
                size: 12
                color: Theme.secondary
            }
            Text {
                Layout.fillWidth: true
                text: tab.viewModel.clientIdNote
                font: Theme.font(11)
                color: Theme.secondary
                wrapMode: Text.WordWrap
                Accessible.ignored: true
            }
        }
    }
}
