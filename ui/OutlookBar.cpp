#include "ui/OutlookBar.h"
#include "ui/WorkspaceValues.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QVariantAnimation>

#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"

namespace tkw {
namespace {

constexpr std::string_view kCaptionsKey = "OutlookPageCaptions";
constexpr int kSlideMilliseconds = 200;

}  // namespace

COutlookBar::COutlookBar(QWidget* parent)
    : QToolBox(parent),
      m_animate(GetProfileInt(profile::kOutlookAnimation) != 0),
      m_animation(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("OutlookBar"));
    m_animation->setDuration(kSlideMilliseconds);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(this, &QToolBox::currentChanged, this, &COutlookBar::Animate);
}

QWidget* COutlookBar::CaptionButton(int index) const {
    // The box lays out each page as its caption button followed by the page's scroll area.
    const QLayoutItem* item = layout() ? layout()->itemAt(index * 2) : nullptr;
    return item ? item->widget() : nullptr;
}

void COutlookBar::itemInserted(int index) {
    QToolBox::itemInserted(index);
    for (auto* button : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        button->removeEventFilter(this);  // installed once per button
        button->installEventFilter(this);
    }
}

bool COutlookBar::IsAnimating() const {
    return m_animation->state() == QAbstractAnimation::Running;
}

void COutlookBar::Animate(int index) {
    m_animation->stop();
    const QLayoutItem* item = layout() ? layout()->itemAt(index * 2 + 1) : nullptr;
    QWidget* page = item ? item->widget() : nullptr;
    if (!m_animate || page == nullptr || !isVisible()) {
        return;
    }
    int captions = 0;
    for (int i = 0; i < count(); ++i) {
        captions += CaptionButton(i) ? CaptionButton(i)->sizeHint().height() : 0;
    }
    m_animation->disconnect(page);
    m_animation->setStartValue(0);
    m_animation->setEndValue(std::max(0, height() - captions));
    connect(m_animation, &QVariantAnimation::valueChanged, page,
            [page](const QVariant& value) { page->setMaximumHeight(value.toInt()); });
    connect(m_animation, &QVariantAnimation::finished, page,
            [page] { page->setMaximumHeight(QWIDGETSIZE_MAX); });
    m_animation->start();
}

void COutlookBar::EditCaption(int index) {
    QWidget* button = CaptionButton(index);
    if (button == nullptr) {
        return;
    }
    delete m_editor;
    m_editor = new QLineEdit(itemText(index), this);
    m_editor->setObjectName(QStringLiteral("CaptionEditor"));
    m_editor->setGeometry(button->geometry());
    m_editor->selectAll();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::editingFinished, this,
            [this, index] { FinishEdit(index, true); });
    m_editor->show();
    m_editor->setFocus();
}

void COutlookBar::FinishEdit(int index, bool keep) {
    if (!m_editor) {
        return;
    }
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    const QString text = editor->text().trimmed();
    if (keep && !text.isEmpty()) {
        setItemText(index, text);
    }
    editor->hide();
    editor->deleteLater();
}

bool COutlookBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        FinishEdit(0, false);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < count(); ++i) {
            if (CaptionButton(i) == watched) {
                EditCaption(i);
                return true;
            }
        }
    }
    return QToolBox::eventFilter(watched, event);
}

void COutlookBar::SaveCaptions() const {
    QJsonArray captions;
    for (int i = 0; i < count(); ++i) {
        captions.append(itemText(i));
    }
    WriteWorkspaceList(kCaptionsKey, captions);
}

void COutlookBar::RestoreCaptions() {
    const QJsonArray captions = ReadWorkspaceList(kCaptionsKey);
    for (int i = 0; i < std::min(count(), static_cast<int>(captions.size())); ++i) {
        if (const QString caption = captions[i].toString().trimmed(); !caption.isEmpty()) {
            setItemText(i, caption);
        }
    }
}

}  // namespace tkw
