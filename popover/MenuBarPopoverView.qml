// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Popover

// The popover: the month grid over the events list, and over both, while
// one is open, a dimmed layer and a sheet (the new-event form or an event's
// detail) rising from the bottom edge on a spring.
FocusScope {
    id: root

    required property PopoverViewModel viewModel
    // 0 with no sheet, 1 with one; the spring may overshoot a little.
    property real sheetProgress: viewModel.sheetShown ? 1 : 0

    Behavior on sheetProgress {
        NumberAnimation { duration: Theme.springDuration; easing: Theme.spring }
    }

    focus: true
    // The keyboard goes back to the grid once a closing sheet has left: until
    // then keys still reach the leaving sheet, so a second Return after
    // saving does not open the form again.
    onSheetProgressChanged: {
        if (sheetProgress === 0 && !viewModel.sheetShown && sheetArea.activeFocus)
            grid.forceActiveFocus()
    }

    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("Calendar")

    Keys.onEscapePressed: root.viewModel.escapePressed()

    Connections {
        target: root.viewModel
        function onSheetChanged() {
            if (root.viewModel.sheetShown) {
                // A fresh sheet each time: nothing typed before is left in it.
                sheetLoader.sourceComponent = null
                sheetLoader.sourceComponent = root.viewModel.sheetKind === PopoverViewModel.NewEventSheet
                        ? formSheet : detailSheet
                sheetLoader.focusSheet()
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.windowBackground
    }

    ColumnLayout {
        id: mainColumn
        width: parent.width
        height: parent.height
        spacing: 0
        // Under a sheet nothing here takes the keyboard or the screen reader's turn.
        enabled: !root.viewModel.sheetShown

        CalendarGridView {
            id: grid
            objectName: "grid"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 14
            Layout.bottomMargin: 8
            focus: true
            viewModel: root.viewModel.grid
        }
        Divider {
            Layout.fillWidth: true
            inset: 12
        }
        EventsListView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            viewModel: root.viewModel.eventsList
        }
    }

    // The dimming layer: swallows clicks, closes nothing.
    Rectangle {
        objectName: "dimming"
        anchors.fill: parent
        visible: root.sheetProgress > 0
        color: Theme.black
        opacity: 0.25 * Math.min(1, root.sheetProgress)
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            onWheel: (wheel) => wheel.accepted = true
        }
    }

    FocusScope {
        id: sheetArea
        anchors.fill: parent
        visible: root.sheetProgress > 0

        Loader {
            id: sheetLoader
            objectName: "sheet"
            width: root.width
            y: root.height - height * Math.max(0, root.sheetProgress)
            opacity: Math.min(1, Math.max(0, root.sheetProgress))
            focus: true

            function focusSheet() {
                sheetArea.forceActiveFocus()
                if (item)
                    item.focusFirst()
            }
        }
    }

    Component {
        id: formSheet
        NewEventView {
            viewModel: root.viewModel.form
        }
    }
    Component {
        id: detailSheet
        EventDetailView {
            viewModel: root.viewModel.detail
        }
    }

    ConfirmDialog {
        objectName: "deleteConfirmation"
        anchors.fill: parent
        open: root.viewModel.sheetKind === PopoverViewModel.EventDetailSheet && root.viewModel.detail !== null
              && root.viewModel.detail.showDeleteConfirm
        title: root.viewModel.detail ? root.viewModel.detail.deleteConfirmTitle : ""
        confirmText: qsTr("Delete Event")
        onConfirmed: root.viewModel.detail.confirmDelete()
        onCancelled: root.viewModel.detail.cancelDelete()
    }
}
