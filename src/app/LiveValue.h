#pragma once

class QLabel;
class QString;

// A label that shows a changing value (a banner line, a status, a count, a folder) gives
// assistive technology its current text as its name, so a screen reader speaks the value
// itself ("Connected", "Place your finger on sensor and wait ...") rather than a fixed word.
// What the label is for goes into its accessible description. Qt names a label without an
// accessible name by its text and announces each setText()/setNum() with a name-changed
// event; a fixed accessible name would hide both, so none is set. (QLabel::clear() raises
// no event: write an empty text with setText() instead.)
void showValueToAssistiveTechnology(QLabel *label, const QString &role);
