#pragma once

class QLabel;

// Makes a label whose text changes readable by a screen reader: its accessible name becomes
// the fixed short name it has now (its accessibleName, may be empty) followed by its current
// text, "사진 수: 3장", and every change of the text announces the new name (NameChanged).
// Works for every way the text is set, slots connected to setText included. Call it once, after
// the label's short name is set.
void ExposeLabelText(QLabel *Label);
