// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Popover

// The popover's lower half: today's (or the selected day's) events, the
// coming week's, and the footer with "Open Calendar" and "Quit". The view
// model decides how many whole rows each section shows in the room left.
ColumnLayout {
    id: list

    required property EventsListViewModel viewModel

    // The room for the rows of both sections: the height less headers,
    // dividers, messages and footer.
    readonly property int rowSpace: Math.floor(height - firstSection.chromeHeight - firstDivider.implicitHeight
            - (noEvents.visible ? noEvents.implicitHeight + noEvents.Layout.topMargin + noEvents.Layout.bottomMargin : 0)
            - (upcomingSection.visible ? upcomingSection.chromeHeight + upcomingDivider.implicitHeight : 0)
            - (message.visible ? message.implicitHeight + message.Layout.topMargin : 0)
            - footer.implicitHeight - footer.Layout.topMargin - footer.Layout.bottomMargin)

    // Set once a frame has been drawn: the sizes the first layout passes
    // go through on the way to the popover's own are not animated.
    property bool drawn: false

    spacing: 0

    Connections {
        target: list.Window.window
        enabled: !list.drawn
        function onFrameSwapped() { list.drawn = true }
    }

    Binding {
        target: list.viewModel
        property: "rowSpace"
        value: list.rowSpace
        when: list.height > 0
    }

    component Section: ColumnLayout {
        id: section

        required property string title
        required property bool expanded
        required property string countText
        required property EventRowsModel rows
        required property int listHeight
        required property bool scrolls
        property bool showsNewEventButton: false
        property string name: ""

        signal toggled()
        signal selected(int row)
        signal joinRequested(int row)

        // Its header with the header's margins.
        readonly property real chromeHeight: header.implicitHeight + header.Layout.topMargin
                + header.Layout.bottomMargin

        spacing: 0

        // The section never grows past its header and its rows.
        Layout.maximumHeight: chromeHeight + (rowsList.visible ? rowsList.openHeight : 0)

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
            // The rows open and close, and give or take room, in 0.2 s.
            property real openHeight: section.listHeight
            Behavior on openHeight {
                enabled: list.drawn
                NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
            }
            // Never taller than its rows; squeezed only for the moment
            // before the view model has measured the room, so that the
            // list's height stays what the popover gives it.
            Layout.fillHeight: true
            Layout.preferredHeight: openHeight
            Layout.maximumHeight: openHeight
            Layout.minimumHeight: 0
            visible: openHeight > 0 && section.rows.count > 0
            rows: section.rows
            scrolls: section.scrolls
            Accessible.name: section.title
            onSelected: (row) => section.selected(row)
            onJoinRequested: (row) => section.joinRequested(row)
        }
    }

    Section {
        id: firstSection
        name: "first"
        Layout.fillWidth: true
        Layout.fillHeight: true
        title: list.viewModel.firstSectionTitle
        expanded: list.viewModel.firstExpanded
        countText: list.viewModel.firstCountText
        rows: list.viewModel.firstRows
        listHeight: list.viewModel.firstListHeight
        scrolls: list.viewModel.firstScrolls
        showsNewEventButton: true
        onToggled: list.viewModel.toggleFirstSection()
        onSelected: (row) => list.viewModel.selectFirstRow(row)
        onJoinRequested: (row) => list.viewModel.joinFirstRow(row)
    }
    Text {
        id: noEvents
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
        id: firstDivider
        Layout.fillWidth: true
        inset: 12
    }

    Section {
        id: upcomingSection
        name: "upcoming"
        Layout.fillWidth: true
        Layout.fillHeight: true
        visible: list.viewModel.showUpcoming
        title: qsTr("Upcoming")
        expanded: list.viewModel.upcomingExpanded
        countText: list.viewModel.upcomingCountText
        rows: list.viewModel.upcomingRows
        listHeight: list.viewModel.upcomingListHeight
        scrolls: list.viewModel.upcomingScrolls
        onToggled: list.viewModel.toggleUpcomingSection()
        onSelected: (row) => list.viewModel.selectUpcomingRow(row)
        onJoinRequested: (row) => list.viewModel.joinUpcomingRow(row)
    }
    Divider {
        id: upcomingDivider
        Layout.fillWidth: true
        inset: 12
        visible: list.viewModel.showUpcoming
    }

    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true
    }

    // Why "Open Calendar" opened nothing.
    Text {
        id: message
        objectName: "openCalendarMessage"
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        Layout.topMargin: 8
        visible: text !== ""
        text: list.viewModel.openCalendarMessage
        wrapMode: Text.Wrap
        font: Theme.font(11)
        color: Theme.secondary
        Accessible.role: Accessible.AlertMessage
        Accessible.name: text
    }

    RowLayout {
        id: footer
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
