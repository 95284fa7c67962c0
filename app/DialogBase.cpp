#include "DialogBase.h"

#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QAbstractButton>
#include <QLabel>

namespace {
CDialogBase::ModalAnswer g_modalAnswer;
}

CDialogBase::CDialogBase(int templateId, std::u16string_view section, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_section(section)
{
}

int CDialogBase::DoModal()
{
    OnInitDialog();
    if (g_modalAnswer)
        return g_modalAnswer(*this);
    return exec() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
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
