import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Popover

// The popover's lower half: today's (or the selected day's) events, the
// coming week's, and the footer with "Open Calendar" and "Quit".
ColumnLayout {
    id: list

    required property EventsListViewModel viewModel

    spacing: 0

    component Section: ColumnLayout {
        id: section

        required property string title
        required property bool expanded
        required property string countText
        required property EventRowsModel rows
        required property int listHeight
        property bool showsNewEventButton: false
        property string name: ""

        signal toggled()
        signal selected(int row)

        spacing: 0

        // The section never grows past its header and its rows.
        Layout.maximumHeight: header.implicitHeight + 16 + (rowsList.visible ? rowsList.openHeight : 0)

        RowLayout {
            id: header
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 10
            Layout.bottomMargin: 6
            spacing: 8

            SectionHeaderButton {
                objectName: section.name + "Header"
                text: section.title
                expanded: section.expanded
                countText: section.countText
                onClicked: section.toggled()
            }
            Item { Layout.fillWidth: true }
            PlainButton {
                objectName: "newEvent"
                visible: section.showsNewEventButton
                Layout.preferredWidth: 24
                Layout.preferredHeight: 24
                symbol: "plus"
                symbolSize: 11
                backgroundColor: Theme.alpha(Theme.primary, 0.08)
                backgroundRadius: 5
                hoverHelp: qsTr("New Event")
                onClicked: list.viewModel.requestNewEvent()
            }
        }

        EventRowsList {
            id: rowsList
            objectName: section.name + "Rows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // The rows open and close in 0.2 s; at most five rows before
            // they scroll, fewer when the popover is short of room.
            property real openFraction: section.expanded ? 1 : 0
            property real openHeight: section.listHeight * openFraction
            Behavior on openFraction {
                NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
            }
            Layout.preferredHeight: openHeight
            Layout.maximumHeight: openHeight
            Layout.minimumHeight: Math.min(openHeight, 46)
            visible: openHeight > 0 && section.rows.count > 0
            rows: section.rows
            Accessible.name: section.title
            onSelected: (row) => section.selected(row)
        }
    }

    Section {
        name: "first"
        Layout.fillWidth: true
        Layout.fillHeight: true
        title: list.viewModel.firstSectionTitle
        expanded: list.viewModel.firstExpanded
        countText: list.viewModel.firstCountText
        rows: list.viewModel.firstRows
        listHeight: list.viewModel.firstListHeight
        showsNewEventButton: true
        onToggled: list.viewModel.toggleFirstSection()
        onSelected: (row) => list.viewModel.selectFirstRow(row)
    }
    Text {
        objectName: "noEvents"
        Layout.fillWidth: true
        Layout.topMargin: 14
        Layout.bottomMargin: 14
        visible: list.viewModel.showNoEvents
        horizontalAlignment: Text.AlignHCenter
        text: qsTr("No events")
        font: Theme.font(13)
        color: Theme.secondary
    }
    Divider {
        Layout.fillWidth: true
        inset: 12
    }

    Section {
        name: "upcoming"
        Layout.fillWidth: true
        Layout.fillHeight: true
        visible: list.viewModel.showUpcoming
        title: qsTr("Upcoming")
        expanded: list.viewModel.upcomingExpanded
        countText: list.viewModel.upcomingCountText
        rows: list.viewModel.upcomingRows
        listHeight: list.viewModel.upcomingListHeight
        onToggled: list.viewModel.toggleUpcomingSection()
        onSelected: (row) => list.viewModel.selectUpcomingRow(row)
    }
    Divider {
        Layout.fillWidth: true
        inset: 12
        visible: list.viewModel.showUpcoming
    }

    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        Layout.topMargin: 10
        Layout.bottomMargin: 10

        PlainButton {
            objectName: "openCalendar"
            text: qsTr("Open Calendar")
            font: Theme.font(12)
            onClicked: list.viewModel.openCalendar()
        }
        Item { Layout.fillWidth: true }
        PlainButton {
            objectName: "quit"
            text: qsTr("Quit")
            font: Theme.font(12)
            onClicked: list.viewModel.quit()
        }
    }
}
