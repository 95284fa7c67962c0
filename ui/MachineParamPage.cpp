#include "MachineParamPage.h"

#include "XPButton.h"
#include "platform/NumText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kApplyText = 91;
}

CMachineParamPage::CMachineParamPage(int templateId, QWidget* parent)
    : CDialogBase(templateId, u"phase13:param-dialog", parent)
{
}

QWidget* CMachineParamPage::Control(int id) const { return findChild<QWidget*>(QString::number(id)); }
QLineEdit* CMachineParamPage::Edit(int id) const { return findChild<QLineEdit*>(QString::number(id)); }
QComboBox* CMachineParamPage::Combo(int id) const { return findChild<QComboBox*>(QString::number(id)); }

QString CMachineParamPage::NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

bool CMachineParamPage::ReadNumber(const QString& text, double& value)
{
    bool ok = false;
    const double v = plat::ParseDouble(text.toStdString(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

std::uint32_t CMachineParamPage::ToFieldWord(double value, bool isSigned)
{
    if (std::isnan(value))
        return 0;
    value = std::trunc(value);
    if (isSigned) {
        value = std::clamp(value, -2147483648.0, 2147483647.0);
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    }
    return static_cast<std::uint32_t>(std::clamp(value, 0.0, 4294967295.0));
}

void CMachineParamPage::OnInitDialog()
{
    for (const TextEntry& t : m_texts)
        SetTextFromSection(t.control, t.entry);
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (const ItemEntries& list : m_items) {
        int widest = 0;
        const QFontMetrics metrics(list.combo->font());
        for (int k = 0; k < static_cast<int>(list.entries.size()); ++k) {
            const std::u16string text = SectionText(list.entries[static_cast<std::size_t>(k)]);
            if (!text.empty())
                list.combo->setItemText(k, QString::fromStdU16String(text));
            widest = std::max(widest, metrics.horizontalAdvance(list.combo->itemText(k)));
        }
        list.combo->view()->setMinimumWidth(widest + 2 * edge + scroll);
    }
    Fill();
}

void CMachineParamPage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_keepEscape)
            event->accept();
        else
            event->ignore();
        return;
    }
    QWidget::keyPressEvent(event);
}

CXPButton* CMachineParamPage::MakeApplyButton(int id)
{
    auto* apply = new CXPButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QString::number(id));
    m_texts.push_back({apply, kApplyText});
    return apply;
}

QLabel* CMachineParamPage::AddLabel(QGridLayout* grid, int row, int column, int id, int entry, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), this);
    if (id != 0)
        label->setObjectName(QString::number(id));
    if (entry >= 0)
        m_texts.push_back({label, entry});
    grid->addWidget(label, row, column);
    return label;
}

QLineEdit* CMachineParamPage::AddEdit(QGridLayout* grid, int row, int column, int id,
                                      std::function<void(double)> onValue)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    connect(edit, &QLineEdit::textEdited, this, [this, onValue = std::move(onValue)](const QString& text) {
        double value = 0.0;
        if (m_pParams != nullptr && ReadNumber(text, value))
            onValue(value);
    });
    grid->addWidget(edit, row, column);
    return edit;
}

QComboBox* CMachineParamPage::AddCombo(QGridLayout* grid, int row, int column, int id, std::vector<int> entries,
                                       std::vector<const char*> items, std::function<void(int)> onChoice)
{
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::number(id));
    if (!entries.empty()) {
        for (int entry : entries)
            combo->addItem(QString::number(entry));
        m_items.push_back({combo, std::move(entries)});
    } else {
        for (const char* item : items)
            combo->addItem(QString::fromLatin1(item));
    }
    connect(combo, &QComboBox::activated, this, [this, onChoice = std::move(onChoice)](int index) {
        if (m_pParams != nullptr && index >= 0)
            onChoice(index);
    });
    grid->addWidget(combo, row, column);
    return combo;
}

void CMachineParamPage::SetNumber(int id, double value) const
{
    if (QLineEdit* edit = Edit(id))
        edit->setText(NumberText(value));
}

void CMachineParamPage::SetChoice(int id, int index) const
{
    if (QComboBox* combo = Combo(id))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void CMachineParamPage::SetVisible(std::initializer_list<int> ids, bool visible) const
{
    for (int id : ids) {
        if (QWidget* w = Control(id))
            w->setVisible(visible);
    }
}
