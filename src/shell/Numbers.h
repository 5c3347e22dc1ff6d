#pragma once
// Numbers as the user types them into any box, and the rounding the program uses
// wherever a number becomes an integer.
#include <QLocale>
#include <QString>
#include <cstdint>

// The leading numeric part of a typed text, as the classic Val() takes it: blanks are
// skipped, "&H"/"&O" prefixes are hex/octal, an exponent may follow (E or D). An empty or
// non-numeric text gives 0. "." is always a decimal point; so is the locale's own decimal
// mark, so that a value a window displayed ("1,56" in German) reads back as itself.
double LeadingNumber(const QString& text, const QLocale& locale = QLocale());

// Nearest integer, a half going to the even neighbour; NaN gives 0 and the result
// saturates at the 32-bit range.
int32_t RoundHalfEven(double v);
