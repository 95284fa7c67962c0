#include "langeditor/SetLangName.h"

#include "langeditor/ControlId.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

CSetLangName::CSetLangName(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("语言名称/Language name"));
    m_edit = new QLineEdit(this);
    SetControlId(m_edit, 1023);
    auto* ok = new QPushButton(QStringLiteral("确定/OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消/Cancel"), this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("名称/Name"), m_edit);
    layout->addRow(ok, cancel);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_name = m_edit->text();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
