#pragma once

namespace morvane::ui {

// Names every drop-down list after its caption for a screen reader. On Linux Qt names a combo
// box after its current item and leaves the caption to a label whose buddy it is, which the
// dialog's lists have not; this gives them Qt's own interface but for the name, with the
// current item as the value and as read-only text, where a screen reader looks for it over
// AT-SPI. Call it once the QApplication exists: the newest factory is asked first, and the
// QApplication installs Qt's own.
void installAccessibleNames();

}  // namespace morvane::ui
