// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Brivane.Resources
import Brivane.Popover

// The month grid: title with the previous and next month buttons, the
// weekday letters and the days. With the keyboard focus here the arrows
// move the selected day, Page Up and Page Down the month, Space selects or
// clears, Return opens a new event on the selected day.
T.Control {
    id: grid

    required property CalendarGridViewModel viewModel
    // Set once the keyboard is used here, so a mouse user sees no ring.
    property bool keyboardUsed: false
    readonly property bool showsFocus: activeFocus && (visualFocus || keyboardUsed)
    // Room for the week numbers at the left, when shown; the days share the rest.
    readonly property real weekColumnWidth: viewModel.showWeekNumbers ? 24 : 0
    readonly property real dayWidth: (column.width - weekColumnWidth) / 7

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight
    focusPolicy: Qt.TabFocus
    padding: 0

    Accessible.role: Accessible.Table
    Accessible.name: viewModel.title
    Accessible.description: viewModel.selectionDescription

    Keys.onPressed: (event) => {
        const vm = grid.viewModel
        switch (event.key) {
        case Qt.Key_Left: vm.moveSelection(-1); break
        case Qt.Key_Right: vm.moveSelection(1); break
        case Qt.Key_Up: vm.moveSelection(-7); break
        case Qt.Key_Down: vm.moveSelection(7); break
        case Qt.Key_PageUp: vm.changeMonth(-1); break
        case Qt.Key_PageDown: vm.changeMonth(1); break
        case Qt.Key_Space: vm.toggleSelection(); break
        case Qt.Key_Return:
        case Qt.Key_Enter: vm.activateSelection(); break
        default: return
        }
        grid.keyboardUsed = true
        event.accepted = true
    }

    contentItem: ColumnLayout {
        id: column
        spacing: 0

        // Title, weekdays and days follow each other without gaps: the
        // popover's room goes to the lists below.
        RowLayout {
            Layout.fillWidth: true
            spacing: 2

            Text {
                Layout.fillWidth: true
                Layout.leftMargin: 6
                text: grid.viewModel.title
                font: Theme.font(15, Font.DemiBold)
                color: Theme.primary
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            PlainButton {
                objectName: "previousMonth"
                symbol: "chevron.left"
                symbolSize: 13
                padding: 6
                hoverHelp: qsTr("Previous Month")
                onClicked: grid.viewModel.showPreviousMonth()
            }
            PlainButton {
                objectName: "nextMonth"
                symbol: "chevron.right"
                symbolSize: 13
                padding: 6
                hoverHelp: qsTr("Next Month")
                onClicked: grid.viewModel.showNextMonth()
            }
        }

        Row {
            Layout.fillWidth: true
            Layout.bottomMargin: 2
            Item {
                width: grid.weekColumnWidth
                height: 1
            }
            Repeater {
                model: grid.viewModel.weekdays
                delegate: Text {
                    required property var modelData
                    width: grid.dayWidth
                    horizontalAlignment: Text.AlignHCenter
                    text: modelData.symbol
                    font: Theme.font(11, Font.Medium)
                    color: modelData.dimmed ? Theme.alpha(Theme.secondary, 0.4) : Theme.secondary
                    Accessible.role: Accessible.ColumnHeader
                    Accessible.name: modelData.name
                }
            }
        }

        Row {
            id: daysRow
            Layout.fillWidth: true
            Column {
                objectName: "weekNumbers"
                visible: grid.viewModel.showWeekNumbers
                width: grid.weekColumnWidth
                spacing: days.rowSpacing
                Repeater {
                    model: grid.viewModel.weekNumbers
                    delegate: Text {
                        required property var modelData
                        width: grid.weekColumnWidth
                        height: 32
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        text: modelData.number
                        font: Theme.font(10)
                        color: Theme.alpha(Theme.secondary, 0.7)
                        Accessible.role: Accessible.RowHeader
                        Accessible.name: modelData.name
                    }
                }
            }
            Grid {
                id: days
                objectName: "days"
                columns: 7
                rowSpacing: 4
                Repeater {
                    model: grid.viewModel.cells
                    delegate: DayCellView {
                        width: grid.dayWidth
                        showFocus: grid.showsFocus && isSelected
                        required property bool isSelected
                        onClicked: (index) => {
                            grid.keyboardUsed = false
                            // A click on the selected day clears it, unless it
                            // was the first of a double click: wait and see.
                            if (isSelected) {
                                clearLater.index = index
                                clearLater.restart()
                            } else {
                                grid.viewModel.clickDay(index)
                            }
                        }
                        onDoubleClicked: (index) => {
                            clearLater.stop()
                            grid.viewModel.doubleClickDay(index)
                        }
                    }
                }
            }
        }
    }

    // Focus on the grid with nothing selected: ring the whole month.
    Timer {
        id: clearLater
        property int index: -1
        interval: Qt.styleHints.mouseDoubleClickInterval
        onTriggered: grid.viewModel.clickDay(index)
    }

    background: Item {
        FocusRing {
            x: daysRow.x + days.x - 3
            y: daysRow.y + days.y - 3
            width: days.width + 6
            height: days.height + 6
            visible: grid.showsFocus && !grid.viewModel.hasSelection
        }
    }
}
