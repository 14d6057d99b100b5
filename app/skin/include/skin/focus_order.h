// What a skinned dialog does for keyboard and screen-reader users once its skin has placed
// its controls: every control the keyboard can reach gets a name (the label the skin drew
// beside it, else its tool tip), and Tab goes through them in reading order: rows from the top,
// each from the left, or from the right in Arabic, the title band's buttons last.
#pragma once

#include <QWidget>
#include <vector>

namespace skin
{

// The controls of `dialog` Tab can reach, outermost only (a combo's own field is not one).
std::vector<QWidget*> FocusableControls(QWidget& dialog);

// Sorts them in reading order and chains Tab through them in that order; the window's own
// buttons in its title band (the top `titleHeight` pixels) come after the rest. A ring then
// shows the control Tab has moved to.
void ArrangeFocus(QWidget& dialog, bool rightToLeft, int titleHeight = 0);

// Sets a control's tool tip, which also names it for screen readers when nothing else does
// (an icon button).
void SetToolTip(QWidget& control, const QString& tip);

} // namespace skin
