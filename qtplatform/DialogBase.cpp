#include "DialogBase.h"

#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>

namespace {
CDialogBase::ModalAnswer g_modalAnswer;
}

CDialogBase::CDialogBase(int templateId, std::u16string_view section, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_section(section)
{
    // Named by its template, as its controls are by their ids.
    setObjectName(QString::number(templateId));
}

int CDialogBase::DoModal()
{
    OnInitDialog();
    if (g_modalAnswer)
        return g_modalAnswer(*this);
    return exec() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
}

void CDialogBase::Create(QWidget* parent)
{
    setParent(parent, Qt::Widget);
    if (m_created)
        return;
    m_created = true;
    OnInitDialog();
}

std::u16string CDialogBase::SectionText(int k) const
{
    return LanguageText(RegisteredLanguageTable(), m_section, k);
}

void CDialogBase::SetTitleFromSection(int k)
{
    const std::u16string text = SectionText(k);
    if (!text.empty())
        setWindowTitle(QString::fromStdU16String(text));
}

void CDialogBase::SetTextFromSection(QWidget* control, int k) const
{
    const std::u16string text = SectionText(k);
    if (text.empty() || control == nullptr)
        return;
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(QString::fromStdU16String(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(QString::fromStdU16String(text));
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(QString::fromStdU16String(text));
}

void CDialogBase::SetModalAnswerForTesting(ModalAnswer answer)
{
    g_modalAnswer = std::move(answer);
}

void CDialogBase::accept()
{
    if (OnOK())
        QDialog::accept();
}

QSize DialogUnitsToPixels(const QFont& font, int x, int y)
{
    const QFontMetrics metrics(font);
    // Rounded to the nearest pixel, halves away from zero.
    auto scale = [](long long units, long long base, long long divisor) {
        const long long product = units * base;
        const long long half = divisor / 2;
        return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
    };
    return QSize(scale(x, metrics.averageCharWidth(), 4), scale(y, metrics.height(), 8));
}

int ButtonWidthForText(const QWidget& button, const QString& text)
{
    QString shown = text;
    shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    const QStyle* style = button.style();
    return QFontMetrics(button.font()).horizontalAdvance(shown) +
           style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
}
