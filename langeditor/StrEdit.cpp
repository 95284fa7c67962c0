#include "langeditor/StrEdit.h"

#include "langeditor/ControlId.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CStrEdit::CStrEdit(const QString& text, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("编辑字符串/Edit string"));
    m_edit = new QPlainTextEdit(this);
    m_edit->setPlainText(text);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    SetControlId(m_edit, 1015);
    auto* ok = new QPushButton(QStringLiteral("确定/OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消/Cancel"), this);
    SetControlId(ok, 1016);
    SetControlId(cancel, 1017);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    resize(480, 240);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_text = m_edit->toPlainText();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
