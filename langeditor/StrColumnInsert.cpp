#include "langeditor/StrColumnInsert.h"

#include "langeditor/ControlId.h"

#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

CStrColumnInsert::CStrColumnInsert(bool withContent, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(withContent ? QStringLiteral("按列插入/Insert in column") : QStringLiteral("按列删除/Delete in column"));
    m_contentEdit = new QLineEdit(this);
    m_contentEdit->setEnabled(withContent);
    SetControlId(m_contentEdit, 1024);
    m_columnEdit = new QLineEdit(this);
    m_columnEdit->setValidator(new QIntValidator(m_columnEdit));
    SetControlId(m_columnEdit, 1025);
    auto* ok = new QPushButton(QStringLiteral("确定/OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消/Cancel"), this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("内容/Text"), m_contentEdit);
    layout->addRow(QStringLiteral("列号/Column"), m_columnEdit);
    layout->addRow(ok, cancel);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_content = m_contentEdit->text();
        m_column = m_columnEdit->text().toInt();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
