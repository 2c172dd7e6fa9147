// A line edit's limit on what is typed into it: keys and an input method add no character past
// the limit, while a paste goes in whole, so that the box's owner refuses a name too long for
// its holder in words rather than the box cutting it without one. UI thread.
#pragma once

#include <QString>

class QLineEdit;

// The part of typed text that fits box: no more characters than maxCharacters less what the
// box keeps of its text once the selection is replaced. maxCharacters 0: all of it.
QString TypedTextWithinLimit(const QLineEdit& box, const QString& typed, int maxCharacters);
// Holds what is typed into box to maxCharacters for as long as the box lives (in place of the
// box's own limit, which cuts a paste too).
void LimitTypedLength(QLineEdit* box, int maxCharacters);
