#pragma once

#include <QPointer>
#include <QToolBox>

#include <QLineEdit>
class QVariantAnimation;

namespace tkw {

// The pages of the navigation pane. A page's caption is edited in place by double-clicking it;
// the captions are kept in the workspace. Switching pages slides the new page open while the
// workspace's `OutlookAnimation` reads non-zero.
class COutlookBar : public QToolBox {
    Q_OBJECT
public:
    explicit COutlookBar(QWidget* parent = nullptr);

    // The name the pane menu shows for the pane that holds the bar.
    static QString PaneName() { return QStringLiteral("Outlook Bar"); }

    bool AnimationEnabled() const { return m_animate; }
    bool IsAnimating() const;
    // Opens the editor over the caption of a page; Enter keeps the text, Escape drops it.
    void EditCaption(int index);
    QLineEdit* CaptionEditor() const { return m_editor; }

    void SaveCaptions() const;
    void RestoreCaptions();

protected:
    void itemInserted(int index) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Animate(int index);
    void FinishEdit(int index, bool keep);
    QWidget* CaptionButton(int index) const;

    bool m_animate;
    QVariantAnimation* m_animation;
    QPointer<QLineEdit> m_editor;
};

}  // namespace tkw
