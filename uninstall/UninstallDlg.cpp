#include "uninstall/UninstallDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kIdProperty = "controlId";

void ShowMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kUninstallTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

CUninstallDlg::MessageFn& MessageFunction()
{
    static CUninstallDlg::MessageFn fn = ShowMessageBox;
    return fn;
}

QPushButton* MakeButton(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setProperty(kIdProperty, id);
    button->setAutoDefault(false);
    return button;
}

} // namespace

CUninstallDlg::CUninstallDlg(const EditionData& edition, const UninstallEnv& env, QWidget* parent)
    : QDialog(parent), m_edition(edition), m_env(env)
{
    setWindowTitle(QString::fromUtf8(kUninstallTitle));
    setWindowIcon(QIcon(QStringLiteral(":/uninstall/icon128.png")));

    m_uninstall = MakeButton(QString::fromUtf8(kUninstallButton), edition.uninstallId, this);
    m_cancel = MakeButton(QString::fromUtf8(kCancelButton), edition.cancelId, this);
    // The window manager's menu cannot be extended, so the About item is a
    // button of the dialog.
    m_about = MakeButton(QString::fromStdString(edition.aboutMenuText), 0, this);
    m_uninstall->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_about);
    buttons->addStretch();
    buttons->addWidget(m_uninstall);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);

    connect(m_uninstall, &QPushButton::clicked, this, &CUninstallDlg::OnUninstall);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_about, &QPushButton::clicked, this, &CUninstallDlg::OnAbout);
}

void CUninstallDlg::SetMessageFunction(MessageFn fn)
{
    MessageFunction() = fn ? std::move(fn) : MessageFn(ShowMessageBox);
}

int CUninstallDlg::ControlId(const QPushButton* button)
{
    return button ? button->property(kIdProperty).toInt() : 0;
}

void CUninstallDlg::OnUninstall()
{
    const UninstallBases bases = ComputeBases(m_env, m_edition);
    const UninstallReport report = RunUninstall(bases, m_edition);
    MessageFunction()(this, QString::fromStdString(ReportText(report)));
    // A refused or incomplete run keeps the dialog open for another try.
    if (report.Complete())
        accept();
}

void CUninstallDlg::OnAbout()
{
    QMessageBox about(this);
    about.setWindowTitle(QString::fromStdString(m_edition.aboutTitle));
    about.setText(QString::fromStdString(m_edition.aboutText));
    about.setIconPixmap(windowIcon().pixmap(32, 32));
    about.addButton(QString::fromUtf8(kAboutOk), QMessageBox::AcceptRole);
    about.exec();
}
