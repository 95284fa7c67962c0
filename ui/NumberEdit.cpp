#include "NumberEdit.h"

#include "app/FrameworkText.h"
#include "platform/Prompt.h"

#include <QDoubleValidator>
#include <QLocale>

#include <cmath>

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
