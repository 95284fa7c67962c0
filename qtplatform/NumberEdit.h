// Edits for real numbers typed the C way: a dot for the decimal point, no
// group separators, finite values only. Values are shown in their shortest
// form that reads back exactly.
#pragma once
#include <QLineEdit>

// A line edit that refuses anything but a C-form number.
QLineEdit* MakeNumberEdit(int controlId, QWidget* parent);

// The shortest text that reads back as exactly `value`.
QString NumberText(double value);

// Reads the edit's number; false (value untouched) when it holds none or one
// that is not finite.
bool ReadNumberEdit(const QLineEdit* edit, double& value);

// The same for a dialog's values: when the edit holds no number the operator
// is told so (the framework's message), the edit takes the focus and the
// result is false.
bool TakeNumberEdit(QLineEdit* edit, double& value);

// The property bar's rule for a typed number: the first line's first 50
// characters, leading blanks, one optional sign, then digits or a point and
// the longest C-form number there ("12.5 mm" reads 12.5, "12,5" reads 12).
// False when no number starts there or it is not finite.
bool ReadLeadingNumber(const QString& text, double& value);
