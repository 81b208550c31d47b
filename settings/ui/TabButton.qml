// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// One tab of the settings window's bar: its symbol over its label, in the
// accent colour on a light accent ground while its tab is on show.
T.TabButton {
    id: control

    property string label: ""
    // A symbol name of SymbolIcons.
    property string symbol: ""
    // The tab this button shows, and the tab on show.
    property int tabIndex: 0
    property int selected: 0
    readonly property bool isSelected: selected === tabIndex

    text: label
    // Pressing asks for the tab; what is on show comes from `selected`
    // (checked, for screen readers), whatever the press did itself.
    autoExclusive: false
    checked: isSelected
    onToggled: checked = Qt.binding(() => control.isSelected)
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    topPadding: 7
    bottomPadding: 7
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    implicitWidth: implicitContentWidth + 8

    Accessible.name: label
    Accessible.checkable: true
    Accessible.checked: isSelected
    Accessible.onPressAction: control.clicked()
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: Column {
        spacing: 3
        SymbolIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: control.symbol
            size: 14
            color: control.isSelected ? Theme.accent : Theme.secondary
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: control.label
            font: Theme.font(10, Font.Medium)
            color: control.isSelected ? Theme.accent : Theme.secondary
            maximumLineCount: 1
            elide: Text.ElideRight
            Accessible.ignored: true
        }
    }
    background: Rectangle {
        radius: 8
        color: control.isSelected ? Theme.alpha(Theme.accent, 0.12) : "transparent"
        FocusRing {
            anchors.fill: parent
            radius: 8
            visible: control.visualFocus
        }
    }
}
