// The open-file dialog with a preview: a non-native QFileDialog with a
// "preview" check box and a box below it into which the file under the
// cursor is drawn, scaled to fit. Pictures (BMP, and JPEG, PNG, GIF through
// the raster import's decoders) are drawn as images; drawings are read as
// the import reads them (its readers, without placement, questions or a
// document) and drawn as outlines. Files are read on a thread of their own
// while a placeholder shows, and a newer highlight drops the older reading;
// files above the preview limit are not read. Reading never shows a message.
#pragma once
#include "qtplatform/LongWork.h"

#include <QFileDialog>
#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QCheckBox;
class QLabel;

class CMyFileDialog : public QFileDialog {
public:
    // The preview box's size in pixels.
    static constexpr int kPreviewWidth = 220;
    static constexpr int kPreviewHeight = 200;
    static constexpr int kPreviewCheckId = 1256;
    // The check box's text: this entry of the "phase1:main-tool" texts.
    static constexpr int kPreviewEntry = 28;
    // Files larger than this are not read for a preview.
    static constexpr std::uintmax_t kPreviewLimitBytes = 20u * 1024u * 1024u;
    // The placeholders while a drawing is read and for a file above the
    // limit: these entries of the "phase15:error-hint" texts.
    static constexpr std::u16string_view kTextSection = u"phase15:error-hint";
    static constexpr int kPreviewingEntry = 55;
    static constexpr int kTooLargeEntry = 56;

    CMyFileDialog(QWidget* parent, const QStringList& filters, const QString& folder, const QString& checkText,
                  bool preview);

    // The extensions (lower case) the caller opens: a file of another type
    // is refused with a message and the dialog stays open. Empty: any.
    void SetAcceptedExtensions(const QStringList& extensions) { m_accepted = extensions; }
    void accept() override;

    bool PreviewOn() const { return m_preview; }
    QCheckBox* PreviewCheck() const { return m_check; }
    // What the preview window shows (white when nothing could be drawn),
    // unless a placeholder text stands in its place.
    const QImage& Preview() const { return m_image; }
    const QString& Placeholder() const { return m_placeholder; }
    // The objects of the drawing shown; whether its reading still runs.
    int PreviewObjects() const { return m_objects; }
    bool PreviewReading() const { return m_look.Running(); }

    // The check box was clicked: on previews the current file at once, off
    // leaves the box empty.
    void OnPreviewCheck();
    // The file under the cursor changed.
    void OnFileNameChange(const QString& path);

private:
    struct Look;

    // The three previews, drawn into an image of the box's size (not
    // cleared first), on the thread of a look; false when nothing could be
    // drawn.
    static bool PreviewPicture(const std::string& path, QImage& box);
    static bool PreviewImage(const std::string& path, QImage& box);
    static bool PreviewDrawing(const std::string& path, Look& look);
    // Has `read` look at the file on a thread of its own, the "preview"
    // placeholder standing meanwhile; what it drew replaces the image.
    void StartLook(std::function<bool(Look&)> read);
    void ShowPreview();
    static QString Text(int entry);

    bool m_preview;
    QCheckBox* m_check = nullptr;
    QLabel* m_window = nullptr;
    QImage m_image;
    QString m_current;
    QStringList m_accepted;
    QString m_placeholder;
    int m_objects = 0;
    LongWork m_look;
};
