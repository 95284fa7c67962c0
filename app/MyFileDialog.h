// The open-file dialog with a preview: a non-native QFileDialog with a
// "preview" check box and a box below it into which the file under the
// cursor is drawn, scaled to fit. Pictures (BMP, and JPEG, PNG, GIF through
// the raster import's decoders) are drawn as images; drawings are read by
// their importers into a list of their own, drawn as outlines and freed.
// Reading never shows a message: the prompt answers silently meanwhile.
#pragma once
#include <QFileDialog>
#include <QImage>

#include <string>

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

    CMyFileDialog(QWidget* parent, const QStringList& filters, const QString& folder, const QString& checkText,
                  bool preview);

    // The extensions (lower case) the caller opens: a file of another type
    // is refused with a message and the dialog stays open. Empty: any.
    void SetAcceptedExtensions(const QStringList& extensions) { m_accepted = extensions; }
    void accept() override;

    bool PreviewOn() const { return m_preview; }
    QCheckBox* PreviewCheck() const { return m_check; }
    // What the preview window shows (white when nothing could be drawn).
    const QImage& Preview() const { return m_image; }

    // The check box was clicked: on previews the current file at once, off
    // leaves the box empty.
    void OnPreviewCheck();
    // The file under the cursor changed.
    void OnFileNameChange(const QString& path);

    // The three previews into the image (which is not cleared first).
    void PreviewPicture(const std::string& path);
    void PreviewImage(const std::string& path);
    void PreviewDrawing(const std::string& path, const std::string& extension);

private:
    void ShowPreview();

    bool m_preview;
    QCheckBox* m_check = nullptr;
    QLabel* m_window = nullptr;
    QImage m_image;
    QString m_current;
    QStringList m_accepted;
};
