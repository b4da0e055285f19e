#pragma once

class QWidget;

namespace tarnix {

// What keyboard-only and screen-reader users need beyond the visible window:
// accessible names for the unlabeled language boxes and the named widgets,
// Ctrl+Tab out of the source text box (Tab types a tab there), Ctrl+Return as
// the "Translate" button, and a top-to-bottom, left-to-right tab order.
// Finds its widgets in the window by object name; changes no text or state.
void setUpAccess(QWidget *window);

} // namespace tarnix
