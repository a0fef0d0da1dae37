#pragma once

class QLabel;
class QString;
class QWidget;

// A label that shows a changing value (a banner line, a status, a count, a folder) gives
// assistive technology its current text as its name, so a screen reader speaks the value
// itself ("Connected", "Place your finger on sensor and wait ...") rather than a fixed word.
// What the label is for goes into its accessible description. Qt names a label without an
// accessible name by its text and announces each setText()/setNum() with a name-changed
// event; a fixed accessible name would hide both, so none is set. (QLabel::clear() raises
// no event: write an empty text with setText() instead.)
void showValueToAssistiveTechnology(QLabel *label, const QString &role);

// Screen readers do not speak a label's new text by themselves: Orca, the one Debian's
// desktops ship, drops name changes of labels and speaks a name change only for the focused
// control, so a message is heard only when the operator goes looking for it. What Orca does
// speak unasked is a notification being shown: it reads the notification's name and the
// labels inside it. A live region is a widget that assistive technology sees as a
// notification; announcing it tells them it was shown (again), so the screen reader reads
// it out. The labels inside keep their role and names for reviewing the window.
//
// Marks the widget as a live region. A label marked so is read by its text.
void makeLiveRegion(QWidget *region);
// Has assistive technology read the live region out, once the writes under way are done:
// two lines written one after the other are read once, together. Nothing happens while the
// region is hidden or no assistive technology listens.
void announceLiveRegion(QWidget *region);

// Enables or disables a whole window, as the station does while an operation is under way.
// Qt tells assistive technology of every control that changes: some hundred events at once
// (each label, picture, frame and button). Orca takes that for a flood and throws away what
// it has not read yet, the banner's notification among them; on a busy PC the controls of one
// window alone are enough. So only the window itself and the control that has the focus say
// that they changed; a screen reader learns the state of the others when it next asks
// (reviewing the window, or moving the focus, which a disabled window does not allow).
// When the window is enabled again, the control that had the keyboard focus has it again.
void setWindowEnabled(QWidget *window, bool enabled);

// A panel laid over a group of controls without hiding them (the banner over the source
// frame): while the panel is shown, assistive technology sees the group as not showing, so
// that reviewing the window reads the panel's lines as lines of their own, not mixed with the
// controls underneath. The controls stay where they are for everything else: a live region
// among them is still announced.
void coverWithPanel(QWidget *group, QWidget *panel);
