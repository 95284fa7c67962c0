#include "QtPrompt.h"

#include "FrameworkText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QThread>

namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::StandardButtons ButtonsOf(unsigned type)
{
    switch (type & kButtonMask) {
    case plat::MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case plat::MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case plat::MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & kIconMask) {
    case plat::MB_ICONERROR:
        return QMessageBox::Critical;
    case plat::MB_ICONQUESTION:
        return QMessageBox::Question;
    case plat::MB_ICONWARNING:
        return QMessageBox::Warning;
    case plat::MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

std::unique_ptr<QMessageBox> QtPrompt::BuildBox(const std::u16string& text, const std::u16string& caption,
                                                unsigned type, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setText(QString::fromStdU16String(text));
    box->setWindowTitle(caption.empty() ? QCoreApplication::applicationName() : QString::fromStdU16String(caption));
    box->setIcon(IconOf(type));
    box->setStandardButtons(ButtonsOf(type));
    const struct {
        QMessageBox::StandardButton button;
        FrameworkText text;
    } names[] = {{QMessageBox::Ok, FrameworkText::Ok},
                 {QMessageBox::Cancel, FrameworkText::Cancel},
                 {QMessageBox::Yes, FrameworkText::Yes},
                 {QMessageBox::No, FrameworkText::No}};
    for (const auto& n : names) {
        if (QAbstractButton* b = box->button(n.button))
            b->setText(FrameworkString(n.text));
    }
    return box;
}

int QtPrompt::ResultOf(const QMessageBox& box)
{
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return plat::IDOK;
    case QMessageBox::Yes:
        return plat::IDYES;
    case QMessageBox::No:
        return plat::IDNO;
    default:
        return plat::IDCANCEL;
    }
}

int QtPrompt::MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (qobject_cast<QApplication*>(app) == nullptr || QThread::currentThread() != app->thread())
        return plat::IDCANCEL;
    std::unique_ptr<QMessageBox> box = BuildBox(text, caption, type, QApplication::activeWindow());
    box->exec();
    return ResultOf(*box);
}
