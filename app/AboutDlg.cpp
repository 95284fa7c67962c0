#include "AboutDlg.h"

#include "qtplatform/Resources.h"
#include "settings/LanguageTable.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : CDialogBase(IDD, u"phase8:soft-version", parent)
{
    // Built-in texts, kept where the language table has none.
    setWindowTitle(QStringLiteral("About Brenvik"));
    m_icon = new QLabel(this);
    m_icon->setPixmap(IconResource(128).pixmap(32, 32));
    m_version = new QLabel(QStringLiteral("Brenvik laser cutting and engraving software"), this);
    m_version->setObjectName(QStringLiteral("1238"));
    m_second = new QLabel(QStringLiteral("Copyright (C) Halvoren"), this);
    m_second->setObjectName(QStringLiteral("1239"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(m_version, 0, 1);
    layout->addWidget(m_second, 1, 1);
    layout->addWidget(m_ok, 0, 2, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::OnInitDialog()
{
    SetTitleFromSection(0);
    const std::span<const std::u16string> table = RegisteredLanguageTable();
    if (!table.empty() && !table.front().empty())
        m_version->setText(QString::fromStdU16String(table.front()));
    SetTextFromSection(m_second, 2);
    SetTextFromSection(m_ok, 3);
}
