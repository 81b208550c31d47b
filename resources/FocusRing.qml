// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// The ring drawn around the control that has keyboard focus. Put it inside
// the control, filling it; show it while `visualFocus` (or activeFocus) holds.
Rectangle {
    color: "transparent"
    border.color: Theme.alpha(Theme.accent, 0.8)
    border.width: 2
    radius: 4
}
