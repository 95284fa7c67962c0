#include "NumberEdit.h"

#include "qtplatform/FrameworkText.h"
#include "platform/Prompt.h"

#include <QDoubleValidator>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

QLineEdit* MakeNumberEdit(int controlId, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(controlId));
    auto* validator = new QDoubleValidator(edit);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c);
    validator->setNotation(QDoubleValidator::StandardNotation);
    edit->setValidator(validator);
    return edit;
}

QString NumberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool ReadNumberEdit(const QLineEdit* edit, double& value)
{
    bool ok = false;
    const double read = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    if (!ok || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

bool TakeNumberEdit(QLineEdit* edit, double& value)
{
    if (ReadNumberEdit(edit, value))
        return true;
    plat::MessageBox(FrameworkString(FrameworkText::EnterNumber).toStdU16String(), std::u16string(),
                     plat::MB_OK | plat::MB_ICONWARNING);
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool ReadLeadingNumber(const QString& text, double& value)
{
    const std::string line = text.section(QLatin1Char('\n'), 0, 0).left(50).toStdString();
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Digits or a point must follow: no second sign, no "inf" or "nan".
    if (p == end || !((*p >= '0' && *p <= '9') || *p == '.'))
        return false;
    double v = 0.0;
    const auto [rest, ec] = std::from_chars(p, end, v, std::chars_format::general);
    (void)rest;
    if (ec != std::errc() || !std::isfinite(v))
        return false;
    value = negative ? -v : v;
    return true;
}
