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
