// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// The settings window: the tab bar over the selected tab, and over both,
// while it is open, Zoho's code-entry sheet. Ctrl+W closes the window.
FocusScope {
    id: root

    required property SettingsViewModel viewModel
    readonly property bool sheetShown: viewModel.integrations.showCodeSheet

    focus: true
    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("Settings")

    Shortcut {
        sequence: "Ctrl+W"
        onActivated: root.Window.window.close()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.windowBackground
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        // Under the sheet nothing here takes the keyboard or the screen reader's turn.
        enabled: !root.sheetShown

        RowLayout {
            objectName: "tabBar"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 16
            Layout.bottomMargin: 8
            spacing: 0
            Accessible.role: Accessible.PageTabList
            Accessible.name: qsTr("Settings sections")

            Repeater {
                model: root.viewModel.tabs
                TabButton {
                    required property var modelData
                    required property int index
                    objectName: "tab " + modelData.label
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    label: modelData.label
                    symbol: modelData.icon
                    tabIndex: index
                    selected: root.viewModel.selectedTab
                    focus: index === 0
                    onClicked: root.viewModel.selectedTab = tabIndex
                }
            }
        }
        Divider {
            Layout.fillWidth: true
        }
        Loader {
            id: content
            objectName: "tabContent"
            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: [calendarsTab, integrationsTab, appearanceTab][root.viewModel.selectedTab]
        }
    }

    Component {
        id: calendarsTab
        CalendarsTab {
            viewModel: root.viewModel.calendars
        }
    }
    Component {
        id: integrationsTab
        IntegrationsTab {
            viewModel: root.viewModel.integrations
        }
    }
    Component {
        id: appearanceTab
        AppearanceTab {
            viewModel: root.viewModel.appearance
        }
    }

    // The dimming layer under the sheet: swallows clicks, closes nothing.
    Rectangle {
        anchors.fill: parent
        visible: sheetLoader.progress > 0
        color: Theme.black
        opacity: 0.2 * Math.min(1, sheetLoader.progress)
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            onWheel: (wheel) => wheel.accepted = true
        }
    }

    // The sheet drops from the top edge, as a window's sheets do.
    FocusScope {
        id: sheetArea
        anchors.fill: parent
        visible: sheetLoader.progress > 0

        Loader {
            id: sheetLoader
            objectName: "codeSheet"
            // 0 closed, 1 open; the spring may overshoot a little.
            property real progress: root.sheetShown ? 1 : 0
            Behavior on progress {
                NumberAnimation { duration: Theme.springDuration; easing: Theme.spring }
            }
            width: parent.width
            y: -height * (1 - Math.max(0, progress))
            opacity: Math.min(1, Math.max(0, progress))
            focus: true
            // The last sheet's model stays until it has left.
            active: root.sheetShown || progress > 0
            sourceComponent: ZohoCodeEntrySheet {
                viewModel: root.viewModel.integrations.codeEntry
                onCloseRequested: root.viewModel.integrations.closeCodeSheet()
            }
            onProgressChanged: {
                if (progress === 0 && !root.sheetShown && sheetArea.activeFocus)
                    content.forceActiveFocus()
            }
        }
    }

    Connections {
        target: root.viewModel.integrations
        function onShowCodeSheetChanged() {
            if (root.viewModel.integrations.showCodeSheet)
                Qt.callLater(() => { sheetArea.forceActiveFocus(); if (sheetLoader.item) sheetLoader.item.focusFirst() })
        }
    }
}
