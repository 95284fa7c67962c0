#include "ParamSetLanguage.h"

#include "XPButton.h"
#include "platform/Prompt.h"
#include "platform/CodePage.h"
#include "settings/HexUtf16Text.h"
#include "settings/LanguageTable.h"

#include <QListWidget>
#include <QSaveFile>
#include <QVBoxLayout>

namespace {
constexpr char16_t kSection[] = u"phase8:soft-version";
constexpr int kNotSaved = 17;
} // namespace

CParamSetLanguage::CParamSetLanguage(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Language"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QString::number(IDC_LIST));
    // The template's own items, replaced at start-up.
    m_list->addItems({QStringLiteral("Simplified Chinese"), QStringLiteral("English")});
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    layout->addWidget(m_list);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    connect(m_ok, &QPushButton::clicked, this, [this] { OnChoose(); });
}

void CParamSetLanguage::OnInitDialog()
{
    SetTitleFromSection(4);
    SetTextFromSection(m_ok, 3);
    m_list->clear();
    for (int k = 0; k < g_languageNames.m_count; ++k)
        m_list->addItem(QString::fromStdU16String(g_languageNames.m_names[static_cast<std::size_t>(k)]));
    const auto found = m_list->findItems(QString::fromStdU16String(g_languageNames.Current()), Qt::MatchExactly);
    if (!found.isEmpty())
        m_list->setCurrentItem(found.first());
}

void CParamSetLanguage::OnChoose()
{
    // Nothing to choose: an empty name would make the pointer file name
    // ".txt", and no language would load at the next start.
    if (m_list->count() == 0) {
        reject();
        return;
    }
    m_nSelect = m_list->currentRow() >= 0 ? m_list->currentRow() : 0;
    const std::u16string name = m_list->item(m_nSelect)->text().toStdU16String();
    const std::string path = LanguageFolder() + "Language";
    const std::string bytes = HexUtf16Text(name) + ".txt";
    // Written whole or not at all: a half-written pointer file would leave
    // the program without its texts.
    QSaveFile file(QString::fromStdString(path));
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                             static_cast<qint64>(bytes.size()) &&
                         file.commit();
    if (!written) {
        plat::MessageBox(SectionText(kNotSaved) + u"\n" + plat::Utf8ToUtf16(path), std::u16string(),
                         plat::MB_OK | plat::MB_ICONWARNING);
        reject();
        return;
    }
    accept();
}
